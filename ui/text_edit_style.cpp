#include "ui/text_edit_style.h"

DWORD multiline_wrap_style(std::size_t length) {
    return length <= kWrappedTextLimit ? 0 : static_cast<DWORD>(ES_AUTOHSCROLL | WS_HSCROLL);
}
