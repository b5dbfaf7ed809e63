// Compiled with -finput-charset=UTF-8 -fexec-charset=CP932: every narrow literal here is
// Shift_JIS in the binary.
#include "common/texts_cp932.h"
#include "res/version.h"

namespace cvt {

const char kPluginName932[] = "Corvel!トリプルクリック～トリベインプラグイン";
const char kPluginVendor932[] = "Veltrin";
const char kPluginVersion932[] = CVT_VERSION_SHORT_TEXT;
const char kPluginDescription932[] =
    "トリプルクリックでメールに書かれた\\\\server\\folderのようなサーバー上のフォルダを開けるプラグ"
    "イン"
    "です。";
const char kSetupCommandDescription932[] = "トリベインの設定をする";
const char kSetupMenuItem932[] = "トリベインの設定をする(&S)...";
const char kOpenCommandDescription932[] = "この場所を開く";
const char kConfirmHintCaption932[] = "Corvel!サーバー開くプラグイン";
const char kConfirmHintText932[] =
    "再び表示させるには、メニューの\n「ツール＞トリベインの設定をする..."
    "」\nで設定を変更してください。";

}  // namespace cvt
