#include "capture/selected_text.h"

namespace cvt {

wchar_t* SelectedText = nullptr;

void ReleaseSelectedText() {
    delete[] SelectedText;
    SelectedText = nullptr;
}

}  // namespace cvt
