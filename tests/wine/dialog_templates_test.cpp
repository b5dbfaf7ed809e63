// The three dialog templates read back from the built library's resources, header and every
// item, against the tables the dialogs are built from.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "rig/dialogs.h"
#include "rig/rig.h"

namespace {

constexpr WORD kJapanese = 1041;
constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;

struct ExpectedItem {
    DWORD id;
    const wchar_t* className;
    const wchar_t* text;  // null: the text is textOrdinal
    int textOrdinal;
    DWORD style;
    short x, y, cx, cy;
};

struct ExpectedTemplate {
    int id;
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    const wchar_t* title;
    std::vector<ExpectedItem> items;
};

const wchar_t kPluginTitle[] = L"Corvel!トリプルクリック～トリベインプラグイン";

const ExpectedTemplate kTemplates[] = {
    {102,
     0x80C808C8,
     0x00000100,
     276,
     73,
     kPluginTitle,
     {
         {6, L"button", L"はい(&Y)", -1, 0x50010001, 165, 51, 50, 14},
         {7, L"button", L"いいえ(&N)", -1, 0x50010000, 219, 51, 50, 14},
         // The two lines draw '&' as it is (SS_NOPREFIX, 0x80).
         {1012, L"static", L"以下のパスを開こうとしています。続行してよろしいですか？", -1,
          0x50020080, 42, 9, 183, 8},
         {1011, L"static", L"\\server\\folder\\folder\\folder\\folder\\folder\\folder\\folder", -1,
          0x50020080, 42, 30, 215, 9},
         {1001, L"button", L"次回から確認しない(&C)", -1, 0x50014003, 41, 52, 89, 10},
         {1013, L"static", nullptr, 32516, 0x50000003, 7, 7, 20, 20},
     }},
    {103,
     0x80C808C8,
     0x00040000,
     254,
     54,
     kPluginTitle,
     {
         {1014, L"msctls_progress32", L"", -1, 0x50800000, 7, 26, 240, 14},
         {1015, L"static", L"サーバーを開いています。お待ちください。", -1, 0x50020001, 7, 11, 240,
          8},
     }},
    {104,
     0x80C800C8,
     0,
     289,
     209,
     L"トリベインの設定",
     {
         {1, L"button", L"OK", -1, 0x50010001, 174, 188, 50, 14},
         {2, L"button", L"キャンセル", -1, 0x50010000, 232, 188, 50, 14},
         {1016, L"button", L"基本設定", -1, 0x50000007, 7, 7, 275, 65},
         {1017, L"button", L"サーバーを開くかどうか確認する(&C)", -1, 0x50010003, 21, 23, 146, 10},
         {1018, L"button", L"トリプルクリックでサーバーを開く(&3)", -1, 0x50010003, 21, 39, 148,
          10},
         {1019, L"button", L"詳細設定", -1, 0x50000007, 7, 77, 275, 102},
         {1020, L"button", L"テキスト形式以外のクリップボードデータも保持する(&X)", -1, 0x50010003,
          21, 94, 219, 10},
         {1021, L"static",
          L"推奨は「オフ」です。本プラグインはCorvel!"
          L"本体とのデータのやりとりにクリップボードを使用します。この設定を「オフ」にしておくと、"
          L"プラグインはその動作の前後で、クリップボードにコピーされているデータ形式のうち、テキス"
          L"ト"
          L"形式だけは消えないよう保持し、その他のデータ形式はクリアします。一方、「オン」にすると"
          L"全"
          L"データ形式を保持しようと試みます。ただし、「オン」にするとCorvel!"
          L"の動作が重くなる場合がありますのでご注意ください。また、一部のデータ形式がクリアされて"
          L"しまう場合もありますのでご注意ください。",
          -1, 0x50020000, 33, 108, 234, 66},
         {1022, L"button", L"ファイルパスはファイルの置かれているフォルダを開く(&F)", -1,
          0x50010003, 21, 55, 211, 10},
     }},
};

// Each template is read from this build's DLL, loaded as the host loads it, and from the
// product's 32-bit DLL as a file: in the 64-bit twin that is how the product is checked.
enum class Source { kLoadedPlugin, kProductFile };

class DialogTemplates : public testing::TestWithParam<std::tuple<ExpectedTemplate, Source>> {
protected:
    void SetUp() override {
        if (std::get<1>(GetParam()) == Source::kProductFile) {
            file_ = std::make_unique<rig::ResourceFile>(rig::ProductDllPath());
        } else {
            plugin_ = std::make_unique<rig::LoadedPlugin>();
        }
        ASSERT_NE(module(), nullptr) << "cannot load the DLL";
    }
    HMODULE module() const { return file_ ? file_->module() : plugin_->module(); }
    const ExpectedTemplate& expected() const { return std::get<0>(GetParam()); }

private:
    std::unique_ptr<rig::LoadedPlugin> plugin_;
    std::unique_ptr<rig::ResourceFile> file_;
};

TEST_P(DialogTemplates, ExistOnlyInJapanese) {
    EXPECT_EQ(rig::DialogLanguages(module(), expected().id), std::vector<WORD>{kJapanese});
}

TEST_P(DialogTemplates, HeaderMatches) {
    const ExpectedTemplate& expected = this->expected();
    rig::DialogTemplate dialog;
    ASSERT_TRUE(rig::LoadDialogTemplate(module(), expected.id, kJapanese, &dialog));
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.style, expected.style);
    EXPECT_EQ(dialog.exStyle, expected.exStyle);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_EQ(dialog.menu, L"");
    EXPECT_EQ(dialog.className, L"");
    EXPECT_EQ(dialog.title, expected.title);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
    EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");
    EXPECT_EQ(dialog.style & WS_VISIBLE, 0u) << "every dialog is shown by its creator";
}

TEST_P(DialogTemplates, ItemsMatchInTemplateOrder) {
    const ExpectedTemplate& expected = this->expected();
    rig::DialogTemplate dialog;
    ASSERT_TRUE(rig::LoadDialogTemplate(module(), expected.id, kJapanese, &dialog));
    ASSERT_EQ(dialog.items.size(), expected.items.size());
    for (std::size_t i = 0; i < expected.items.size(); ++i) {
        const ExpectedItem& want = expected.items[i];
        const rig::DialogItem& item = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "item " << i << ", id " << want.id);
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.className, want.className);
        if (want.text != nullptr) {
            EXPECT_EQ(item.textOrdinal, -1);
            EXPECT_EQ(item.text, want.text);
        } else {
            EXPECT_EQ(item.textOrdinal, want.textOrdinal);
        }
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.style & kChildVisible, kChildVisible);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.helpId, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.extraCount, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DialogResources, DialogTemplates,
    testing::Combine(testing::ValuesIn(kTemplates),
                     testing::Values(Source::kLoadedPlugin, Source::kProductFile)),
    [](const testing::TestParamInfo<std::tuple<ExpectedTemplate, Source>>& info) {
        return "Template" + std::to_string(std::get<0>(info.param).id) +
               (std::get<1>(info.param) == Source::kProductFile ? "OfTheProductFile" : "");
    });

// The version record and the manifest, as the built library carries them.
// The product's own, read from its file: in the 64-bit twin that is the 32-bit DLL.
TEST(Resources, VersionRecordAndEmptyManifest) {
    const std::wstring path = rig::ProductDllPath();
    DWORD ignored = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    const wchar_t* const kEntries[][2] = {
        {L"CompanyName", L"Veltrin"},
        {L"FileDescription", L"Corvel!トリプルクリック～トリベインプラグイン"},
        {L"FileVersion", L"1, 2, 0, 0"},
        {L"InternalName", L"CvTrivane"},
        {L"OriginalFilename", L"CvTrivane.dll"},
        {L"ProductName", L"Corvel!トリプルクリック～トリベインプラグイン"},
        {L"ProductVersion", L"1, 2, 0, 0"},
    };
    for (const auto& entry : kEntries) {
        SCOPED_TRACE(std::string(entry[0], entry[0] + wcslen(entry[0])));
        wchar_t* text = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + entry[0];
        ASSERT_TRUE(
            VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_EQ(std::wstring(text), entry[1]);
    }

    rig::ResourceFile product(path);
    ASSERT_NE(product.module(), nullptr);
    HRSRC manifest = FindResourceW(product.module(), MAKEINTRESOURCEW(2), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const auto* bytes =
        static_cast<const char*>(LockResource(LoadResource(product.module(), manifest)));
    const std::string text(bytes, SizeofResource(product.module(), manifest));
    // An assembly element with nothing in it: no dependency, no request for privileges.
    EXPECT_EQ(text,
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>\n");
}

// The parser itself must notice what the comparisons rely on.
TEST(DialogTemplateParser, RefusesPlainTemplatesAndTruncatedOnes) {
    rig::LoadedPlugin plugin;
    ASSERT_TRUE(plugin);
    HRSRC resource = FindResourceExW(plugin.module(), reinterpret_cast<LPCWSTR>(RT_DIALOG),
                                     MAKEINTRESOURCEW(102), kJapanese);
    ASSERT_NE(resource, nullptr);
    const auto* data =
        static_cast<const BYTE*>(LockResource(LoadResource(plugin.module(), resource)));
    const DWORD size = SizeofResource(plugin.module(), resource);
    std::vector<BYTE> copy(data, data + size);
    rig::DialogTemplate parsed;
    EXPECT_TRUE(rig::ParseDialogTemplate(copy.data(), copy.size(), &parsed));
    EXPECT_FALSE(rig::ParseDialogTemplate(copy.data(), copy.size() - 8, &parsed));
    copy[2] = 0;  // signature 0xFFFF gone: a plain DLGTEMPLATE
    EXPECT_FALSE(rig::ParseDialogTemplate(copy.data(), copy.size(), &parsed));
}

}  // namespace
