// Texts that go to the host or to ANSI functions, in code page 932 (Shift_JIS). They are
// compiled from UTF-8 source with a Shift_JIS execution character set, so the bytes are fixed
// at build time and do not depend on the user's system code page.
#pragma once

namespace cvt {

extern const char kPluginName932[];         // name field of the information record
extern const char kPluginVendor932[];       // vendor field
extern const char kPluginVersion932[];      // version field
extern const char kPluginDescription932[];  // description field
extern const char kSetupCommandDescription932[];
extern const char kSetupMenuItem932[];
extern const char kOpenCommandDescription932[];
extern const char kConfirmHintCaption932[];
extern const char kConfirmHintText932[];

}  // namespace cvt
