// What the user had on the clipboard survives a capture: every format in all-formats mode,
// the three text formats in text-only mode, and the order in which the backup saves, puts
// back and releases.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/host_fixture.h"

namespace {

using Items = std::vector<std::pair<UINT, HANDLE>>;

const std::wstring kMail = L"資料の場所\r\n\\\\fs01\\share\\docs\r\n以上";

class ClipboardCapture : public rig::HostTest {
protected:
    void SetUp() override {
        rig::HostTest::SetUp();
        ASSERT_TRUE(probe_);
        ShowAndSelect(kMail.c_str(), 7, 26);  // the path line with its line break
    }
    void TearDown() override {
        probe_.ReleaseSelectedText();
        rig::HostTest::TearDown();
    }
    void Preserve(bool all) { rig::WriteDword(L"TrivanePreserve", all ? 1 : 0); }

    rig::CaptureProbe probe_;
    rig::ClipboardSource source_;
};

UINT Registered(const std::string& name) { return RegisterClipboardFormatA(name.c_str()); }

std::vector<unsigned char> Pattern(size_t size, unsigned char seed) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
    return bytes;
}

HGLOBAL PatternBlock(size_t size, unsigned char seed) {
    const std::vector<unsigned char> bytes = Pattern(size, seed);
    return rig::GlobalFromBytes(bytes.data(), bytes.size());
}

const std::string kLongName =
    "CvTrivane.Test.A registered clipboard format whose name runs well "
    "past fifty-one bytes, to see that it comes back under its own id "
    "and not under a new one";

struct RoundTripCase {
    const char* name;
    std::function<Items()> contents;
    std::vector<UINT> mustHold;      // formats the case is about
    std::vector<UINT> leftOut = {};  // formats that mean something only to their owner
};

HPALETTE MakePalette(BYTE seed) {
    LOGPALETTE palette = {0x300, 1, {{seed, static_cast<BYTE>(seed + 1), 7, 0}}};
    return CreatePalette(&palette);
}

const RoundTripCase kRoundTrips[] = {
    {"TextAsTheSystemSynthesisesIt",
     [] {
         return Items{{CF_UNICODETEXT, rig::GlobalText(L"利用者の文 \\\\nas\\共有")}};
     },
     {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT}},
    {"RegisteredFormat",
     [] {
         return Items{{Registered("CvTrivane.Test.Short"), PatternBlock(300, 3)}};
     },
     {Registered("CvTrivane.Test.Short")}},
    {"RegisteredNameLongerThanFiftyOneBytes",
     [] {
         return Items{{Registered(kLongName), PatternBlock(77, 9)}};
     },
     {Registered(kLongName)}},
    {"PrivateFormatLeftOut",
     [] {
         return Items{{0x2A5, PatternBlock(64, 1)}};
     },
     {0x2A5},
     {0x2A5}},
    // The system does not free these handles when the clipboard is emptied: each one put back
    // would leak.
    {"GdiObjectFormatLeftOut",
     [] {
         return Items{{0x300, PatternBlock(32, 2)}};
     },
     {0x300},
     {0x300}},
    {"DisplayFormsAndPaletteAsTheirObjects",
     [] {
         return Items{{CF_DSPBITMAP, rig::MakeBitmap(9, 7, 2)},
                      {CF_DSPENHMETAFILE, rig::MakeEnhMetaFile(3)},
                      {CF_PALETTE, MakePalette(40)}};
     },
     {CF_DSPBITMAP, CF_DSPENHMETAFILE, CF_PALETTE}},
    {"UnnamedDisplayText",
     [] {
         return Items{{CF_DSPTEXT, rig::GlobalAnsi("display text")}};
     },
     {CF_DSPTEXT}},
    {"Bitmap",
     [] {
         return Items{{CF_BITMAP, rig::MakeBitmap(64, 48, 11)}};
     },
     {CF_BITMAP}},
    {"EnhancedMetafile",
     [] {
         return Items{{CF_ENHMETAFILE, rig::MakeEnhMetaFile(5)}};
     },
     {CF_ENHMETAFILE}},
    {"MetafilePicture",
     [] {
         return Items{{CF_METAFILEPICT, rig::MakeMetaFilePicture(4)}};
     },
     {CF_METAFILEPICT}},
    {"DisplayMetafilePicture",
     [] {
         return Items{{CF_DSPMETAFILEPICT, rig::MakeMetaFilePicture(3)}};
     },
     {CF_DSPMETAFILEPICT}},
    {"ZeroSizeHandle",
     [] {
         return Items{{Registered("CvTrivane.Test.Empty"),
                       // A fixed block: Wine refuses a discarded moveable one.
                       GlobalAlloc(GMEM_FIXED, 0)}};
     },
     {Registered("CvTrivane.Test.Empty")}},
    {"SeveralAtOnce",
     [] {
         return Items{{CF_UNICODETEXT, rig::GlobalText(L"いくつも")},
                      {Registered("CvTrivane.Test.Short"), PatternBlock(40, 5)},
                      {Registered(kLongName), PatternBlock(12, 6)},
                      {0x2A5, PatternBlock(9, 7)},
                      {CF_BITMAP, rig::MakeBitmap(17, 5, 3)},
                      {CF_ENHMETAFILE, rig::MakeEnhMetaFile(2)}};
     },
     {CF_UNICODETEXT, Registered("CvTrivane.Test.Short"), Registered(kLongName), 0x2A5, CF_BITMAP,
      CF_ENHMETAFILE},
     {0x2A5}},
};

class AllFormatsRoundTrip : public ClipboardCapture,
                            public testing::WithParamInterface<RoundTripCase> {};

TEST_P(AllFormatsRoundTrip, EveryFormatComesBackAsItWas) {
    const RoundTripCase& c = GetParam();
    Preserve(true);
    ASSERT_TRUE(source_.Place(c.contents()));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    for (UINT id : c.mustHold) {
        const rig::FormatRecord* record = rig::FindFormat(before, id);
        ASSERT_NE(record, nullptr) << "format " << id << " was not placed";
        if (record->kind != rig::FormatRecord::Kind::kNoData) {
            ASSERT_FALSE(record->bytes.empty()) << "format " << id << " reads as empty";
        }
    }

    EXPECT_EQ(probe_.Capture(View()), 0u);
    ASSERT_NE(probe_.SelectedText(), nullptr);
    EXPECT_STREQ(probe_.SelectedText(), L"\\\\fs01\\share\\docs\r\n");

    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    EXPECT_EQ(rig::FormatIds(after).size(), before.size() - c.leftOut.size());
    for (const rig::FormatRecord& saved : before) {
        SCOPED_TRACE("format " + std::to_string(saved.id) + " " + saved.name);
        const rig::FormatRecord* restored = rig::FindFormat(after, saved.id);
        if (std::count(c.leftOut.begin(), c.leftOut.end(), saved.id) != 0) {
            EXPECT_EQ(restored, nullptr) << "put back although only its owner can read it";
            continue;
        }
        ASSERT_NE(restored, nullptr) << "missing after the capture";
        EXPECT_EQ(rig::Difference(saved, *restored), "");
        // Never a promise that nobody renders.
        EXPECT_NE(restored->kind, rig::FormatRecord::Kind::kNoData);
    }
}

INSTANTIATE_TEST_SUITE_P(Contents, AllFormatsRoundTrip, testing::ValuesIn(kRoundTrips),
                         [](const testing::TestParamInfo<RoundTripCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ClipboardCapture, MetafilePicturesComeBackWithALiveMetafileOfTheirOwn) {
    Preserve(true);
    for (UINT format : {CF_METAFILEPICT, CF_DSPMETAFILEPICT}) {
        SCOPED_TRACE("format " + std::to_string(format));
        ASSERT_TRUE(source_.Place({{format, rig::MakeMetaFilePicture(6)}}));
        const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
        ASSERT_EQ(probe_.Capture(View()), 0u);
        // The restored block must carry a metafile that exists now, after the original was
        // deleted with the emptied clipboard, and that draws what the original drew.
        ASSERT_TRUE(rig::OpenClipboardRetrying(source_.window()));
        HANDLE block = GetClipboardData(format);
        ASSERT_NE(block, nullptr);
        METAFILEPICT picture = *static_cast<METAFILEPICT*>(GlobalLock(block));
        GlobalUnlock(block);
        const UINT size = GetMetaFileBitsEx(picture.hMF, 0, nullptr);
        CloseClipboard();
        EXPECT_GT(size, 0u) << "the restored picture's metafile is not valid";
        const rig::FormatRecord* original = rig::FindFormat(before, format);
        ASSERT_NE(original, nullptr);
        EXPECT_EQ(size, original->bytes.size());
        EXPECT_EQ(picture.mm, MM_ANISOTROPIC);
        EXPECT_EQ(picture.xExt, 2006);
    }
}

TEST_F(ClipboardCapture, PictureWithoutAMetafileGoesBackAsItsBytes) {
    // Wine's clipboard refuses such a picture, so the plug-in is handed one in place of the
    // real picture, and what it puts back is read at SetClipboardData.
    Preserve(true);
    const METAFILEPICT picture = {MM_TEXT, 5, 7, nullptr};
    const auto* bytes = reinterpret_cast<const unsigned char*>(&picture);
    const std::vector<unsigned char> block(bytes, bytes + sizeof(picture));
    ASSERT_TRUE(source_.Place({{CF_METAFILEPICT, rig::MakeMetaFilePicture(2)}}));
    rig::UnicodeTextStandIn standIn(probe_.module(), block, CF_METAFILEPICT);
    rig::GdiWatch gdi(probe_.module());
    ASSERT_TRUE(standIn.active() && gdi.active());
    standIn.Arm(true);
    ASSERT_EQ(probe_.Capture(View()), 0u);
    EXPECT_EQ(standIn.handedOut(), 1);
    int putBack = 0;
    for (const auto& set : gdi.blocksSet()) {
        if (set.first != CF_METAFILEPICT) continue;
        ++putBack;
        EXPECT_EQ(set.second, block);
    }
    EXPECT_EQ(putBack, 1);
}

TEST_F(ClipboardCapture, PictureWhoseMetafileCannotBeCopiedIsLeftOut) {
    Preserve(true);
    const UINT other = Registered("CvTrivane.Test.Short");
    ASSERT_TRUE(source_.Place(
        {{CF_DSPMETAFILEPICT, rig::MakeMetaFilePicture(2)}, {other, PatternBlock(20, 4)}}));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    rig::GdiWatch gdi(probe_.module());
    ASSERT_TRUE(gdi.active());
    gdi.FailMetaFileCopies(true);
    ASSERT_EQ(probe_.Capture(View()), 0u);
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    EXPECT_EQ(rig::FindFormat(after, CF_DSPMETAFILEPICT), nullptr);
    const rig::FormatRecord* kept = rig::FindFormat(after, other);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(rig::Difference(*rig::FindFormat(before, other), *kept), "");
    EXPECT_EQ(gdi.stillOwned(), 0);
}

TEST_F(ClipboardCapture, LongRegisteredNameKeepsItsIdAndNoNewFormatAppears) {
    Preserve(true);
    const UINT id = Registered(kLongName);
    ASSERT_TRUE(source_.Place({{id, PatternBlock(33, 2)}}));
    rig::ClipboardCallWatch calls(probe_.module());
    ASSERT_EQ(probe_.Capture(View()), 0u);
    // The restore asks for the name's id again rather than trusting the saved one.
    EXPECT_EQ(calls.registeredNames(), std::vector<std::string>{kLongName});
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].id, id);
    EXPECT_EQ(after[0].name, kLongName);
    EXPECT_EQ(after[0].bytes, Pattern(33, 2));
}

// ---- Text-only mode ---------------------------------------------------------------------------

// A password manager's marks keep the text out of clipboard history and the cloud: they go back
// with it, byte for byte.
const char* const kPrivacyMarks[] = {"ExcludeClipboardContentFromMonitorProcessing",
                                     "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard",
                                     "Clipboard Viewer Ignore"};

TEST_F(ClipboardCapture, TextOnlyModeDropsTheImageAndKeepsEachTextFormatsOwnBytesAndTheMarks) {
    Preserve(false);
    const DWORD zero = 0;
    Items items = {{CF_UNICODETEXT, rig::GlobalText(L"元の文 ①②")},
                   {CF_TEXT, rig::GlobalAnsi("ansi bytes of its own")},
                   {CF_BITMAP, rig::MakeBitmap(20, 10, 4)},
                   {Registered("CvTrivane.Test.Short"), PatternBlock(8, 1)}};
    for (const char* mark : kPrivacyMarks) {
        items.push_back({Registered(mark), rig::GlobalFromBytes(&zero, sizeof(zero))});
    }
    ASSERT_TRUE(source_.Place(items));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    ASSERT_NE(rig::FindFormat(before, CF_BITMAP), nullptr);

    EXPECT_EQ(probe_.Capture(View()), 0u);
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    EXPECT_EQ(rig::FindFormat(after, CF_BITMAP), nullptr);
    EXPECT_EQ(rig::FindFormat(after, CF_DIB), nullptr);
    EXPECT_EQ(rig::FindFormat(after, Registered("CvTrivane.Test.Short")), nullptr);
    std::vector<UINT> kept = {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT};
    for (const char* mark : kPrivacyMarks) kept.push_back(Registered(mark));
    for (UINT id : kept) {
        SCOPED_TRACE("format " + std::to_string(id));
        const rig::FormatRecord* saved = rig::FindFormat(before, id);
        const rig::FormatRecord* restored = rig::FindFormat(after, id);
        ASSERT_NE(saved, nullptr);
        ASSERT_NE(restored, nullptr);
        EXPECT_EQ(rig::Difference(*saved, *restored), "");
    }
    const rig::FormatRecord* ansi = rig::FindFormat(after, CF_TEXT);
    ASSERT_NE(ansi, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(ansi->bytes.data()), "ansi bytes of its own");
}

TEST_F(ClipboardCapture, TextOnlyModeWithOnlyAnImageLeavesTheClipboardEmpty) {
    Preserve(false);
    ASSERT_TRUE(source_.Place({{CF_BITMAP, rig::MakeBitmap(8, 8, 1)}}));
    EXPECT_EQ(probe_.Capture(View()), 0u);
    EXPECT_TRUE(rig::TakeSnapshot(source_.window()).empty());
}

// ---- Backup, Restore and Clear called directly ------------------------------------------------

TEST_F(ClipboardCapture, EmptyClipboardSavesNothingAndStaysEmpty) {
    ASSERT_TRUE(source_.Place({}));
    EXPECT_EQ(probe_.Backup(View(), 1), 1);
    EXPECT_EQ(probe_.Restore(View()), 1);
    EXPECT_TRUE(rig::TakeSnapshot(source_.window()).empty());
}

// The backup changes nothing: the host's copy is the one change before the restore.
TEST_F(ClipboardCapture, BackupLeavesTheClipboardAsItIsAndRestoreTakesItBackUnderTheOwner) {
    ASSERT_TRUE(source_.Place({{Registered("CvTrivane.Test.Short"), PatternBlock(5, 5)}}));
    const DWORD sequence = GetClipboardSequenceNumber();
    ASSERT_EQ(probe_.Backup(View(), 1), 1);
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(GetClipboardOwner(), source_.window());
    EXPECT_EQ(CountClipboardFormats(), 1);
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    ASSERT_EQ(probe_.Restore(View()), 1);
    EXPECT_EQ(GetClipboardOwner(), View());
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].bytes, Pattern(5, 5));
    // Restore ends with Clear: a second Restore puts nothing back.
    ASSERT_EQ(probe_.Restore(View()), 1);
    EXPECT_TRUE(rig::TakeSnapshot(source_.window()).empty());
}

TEST_F(ClipboardCapture, SecondBackupReleasesWhatTheFirstSaved) {
    rig::GdiWatch gdi(probe_.module());
    ASSERT_TRUE(gdi.active());
    ASSERT_TRUE(source_.Place({{CF_BITMAP, rig::MakeBitmap(10, 10, 1)}}));
    ASSERT_EQ(probe_.Backup(View(), 1), 1);
    EXPECT_EQ(gdi.stillOwned(), 1);
    ASSERT_TRUE(source_.Place({{CF_ENHMETAFILE, rig::MakeEnhMetaFile(3)}}));
    ASSERT_EQ(probe_.Backup(View(), 1), 1);
    EXPECT_EQ(gdi.copiesMade(), 3);  // the bitmap, then the metafile and its picture's metafile
    EXPECT_EQ(gdi.stillOwned(), 2);  // the bitmap's copy is gone
    probe_.Clear();
    EXPECT_EQ(gdi.stillOwned(), 0);
}

TEST_F(ClipboardCapture, RestoredBitmapStaysValidAfterClear) {
    ASSERT_TRUE(source_.Place({{CF_BITMAP, rig::MakeBitmap(12, 9, 8)}}));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    ASSERT_EQ(probe_.Backup(View(), 1), 1);
    ASSERT_EQ(probe_.Restore(View()), 1);
    probe_.Clear();
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    const rig::FormatRecord* bitmap = rig::FindFormat(after, CF_BITMAP);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(rig::Difference(*rig::FindFormat(before, CF_BITMAP), *bitmap), "");
}

}  // namespace
