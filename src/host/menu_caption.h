// Text of the context-menu item that offers to open the path found in the selection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bounded_text.h"

namespace cvt {

// The caller's caption buffer, NUL included.
constexpr std::size_t kMenuCaptionCapacity = 100;
// The menu kind (the mail list) whose caption shortens the path sooner.
constexpr std::uint32_t kShortCaptionMenuKind = 11;

// True for the menu kinds 3, 4, 11 and 12, which take the open item.
constexpr bool MenuKindTakesOpenItem(std::uint32_t kind) {
    return kind == 3 || kind == 4 || kind == 11 || kind == 12;
}

// The path the menu item names: the text path that the open command reads too, written in
// place into text (ExtractPath). No existence check and no validation: the open command
// judges the path when the item is picked. nullptr when text holds no path.
char16_t* LocateMenuPath(char16_t* text);

// Writes "<path> を開く(&O)" and ten blanks into caption (kMenuCaptionCapacity characters).
// A path longer than the limit (18 characters for kind 11, 30 otherwise) is shortened to its
// first 18 characters, or 29 (the shortening buffer holds 30 with its NUL), and written as
// "<start>...を開く(&O)" and ten blanks. Ampersands of the path are doubled so the menu shows
// them instead of taking them as mnemonics; the limits count the path's own characters.
Status BuildMenuCaption(const char16_t* path, std::uint32_t menuKind, char16_t* caption);

}  // namespace cvt
