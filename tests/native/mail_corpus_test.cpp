// Mail lines as people write them, each with the place its writer meant, written apart from
// this code (tests/native/mail-lines.tsv: the line, the place, a category). Each line is read
// as the open command reads it, against a file server on which the meant place and its
// folders exist, and the place that would open is compared with the meant one.
#include <gtest/gtest.h>

#include <codecvt>
#include <fstream>
#include <iostream>
#include <locale>
#include <set>
#include <string>
#include <vector>

#include "open/launch_plan.h"
#include "open/path_ends.h"

namespace cvt {
namespace {

std::u16string Folded(std::u16string path) {
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    for (char16_t& c : path) c = (c >= u'A' && c <= u'Z') ? c + 32 : c;
    return path;
}

// The server: the meant place and every folder above it exist, nothing else.
struct Server {
    std::set<std::u16string> places;
    explicit Server(const std::u16string& meant) {
        for (std::size_t i = meant.find(u'\\', 2); i != std::u16string::npos;
             i = meant.find(u'\\', i + 1)) {
            places.insert(Folded(meant.substr(0, i)));
        }
        places.insert(Folded(meant));
    }
    bool Has(const std::u16string& path) const { return places.count(Folded(path)) > 0; }
};

// The place checks' order: the text path, the longest listed name of its last folder that the
// rest begins with, the folder itself when the rest starts a sentence, else the text path.
std::u16string PlaceOpened(const std::u16string& path, const Server& server) {
    const std::size_t restStart = CuttableRestStart(path.c_str());
    if (server.Has(path) || restStart == 0 || !server.Has(path.substr(0, restStart))) return path;
    const std::u16string folder = Folded(path.substr(0, restStart)) + u"\\";
    std::size_t longest = 0;
    for (const std::u16string& place : server.places) {
        if (place.size() <= folder.size() || place.compare(0, folder.size(), folder) != 0) continue;
        const std::u16string name = place.substr(folder.size());
        if (name.find(u'\\') != std::u16string::npos) continue;
        longest = std::max(longest, NameCoversRest(path.c_str() + restStart, name.c_str()));
    }
    if (longest > 0) return path.substr(0, restStart + longest);
    std::size_t ends[kMostCandidateEnds];
    const std::size_t count = ListCandidateEnds(path.c_str(), restStart, ends, kMostCandidateEnds);
    return count > 0 && ends[count - 1] == restStart ? path.substr(0, restStart) : path;
}

TEST(MailCorpus, AtLeast95Of100LinesOpenThePlaceTheirWriterMeant) {
    std::ifstream file(CVT_MAIL_CORPUS);
    ASSERT_TRUE(file) << CVT_MAIL_CORPUS;
    std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t> utf8;
    std::size_t lines = 0, opened = 0;
    for (std::string row; std::getline(file, row);) {
        const std::size_t tab1 = row.find('\t'), tab2 = row.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << row;
        std::u16string text = utf8.from_bytes(row.substr(0, tab1));
        const std::u16string meant = utf8.from_bytes(row.substr(tab1 + 1, tab2 - tab1 - 1));
        // "\t" and "\n" in the file stand for a tab and a line break.
        for (std::size_t i = 0; (i = text.find(u'\\', i)) != std::u16string::npos; ++i) {
            if (text[i + 1] == u't' || text[i + 1] == u'n') {
                text.replace(i, 2, 1, text[i + 1] == u't' ? u'\t' : u'\n');
            }
        }
        std::vector<char16_t> work(WorkCopyCapacity(text.size()));
        char16_t* path = nullptr;
        const bool read =
            PrepareOpen(text.c_str(), work.data(), work.size(), &path) == OpenVerdict::kLaunch;
        const std::u16string place = read ? PlaceOpened(path, Server(meant)) : u"(nothing)";
        ++lines;
        if (Folded(place) == Folded(meant)) {
            ++opened;
        } else {
            std::cout << "  missed [" << row.substr(tab2 + 1) << "] " << row.substr(0, tab1)
                      << "\n    opens " << utf8.to_bytes(place) << "\n";
        }
    }
    std::cout << opened << " of " << lines << " lines open the meant place\n";
    EXPECT_GE(lines, 100u);
    EXPECT_GE(opened * 100, lines * 95);
}

}  // namespace
}  // namespace cvt
