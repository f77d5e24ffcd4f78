#include "support/DialogBuilder.h"

#include <cstring>

namespace testsupport {

namespace {
constexpr size_t kCountOffset = 8; // DLGTEMPLATE::cdit
} // namespace

DialogBuilder::DialogBuilder(DWORD style, const std::string& caption, short cx, short cy) {
    Word(LOWORD(style));
    Word(HIWORD(style));
    Word(0); // extended style
    Word(0);
    Word(0); // item count, filled in as controls are added
    Word(10);
    Word(10);
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(0); // no menu
    Word(0); // the standard dialog class
    Text(caption);
    if (style & DS_SETFONT) {
        Word(8);
        Text("MS Shell Dlg");
    }
}

void DialogBuilder::Word(WORD value) {
    m_bytes.push_back(static_cast<BYTE>(value));
    m_bytes.push_back(static_cast<BYTE>(value >> 8));
}

void DialogBuilder::Text(const std::string& text) {
    for (char c : text)
        Word(static_cast<unsigned char>(c));
    Word(0);
}

void DialogBuilder::Begin(DWORD style, WORD id, short x, short y, short cx, short cy) {
    while (m_bytes.size() % 4 != 0)
        m_bytes.push_back(0);
    Word(LOWORD(style));
    Word(HIWORD(style));
    Word(0);
    Word(0);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(id);
    ++m_count;
    std::memcpy(m_bytes.data() + kCountOffset, &m_count, sizeof(m_count));
}

DialogBuilder& DialogBuilder::Control(WORD classOrdinal, WORD id, DWORD style,
                                      const std::string& text, short x, short y, short cx,
                                      short cy) {
    Begin(style, id, x, y, cx, cy);
    Word(0xFFFF);
    Word(classOrdinal);
    Text(text);
    Word(0); // no creation data
    return *this;
}

DialogBuilder& DialogBuilder::Control(const std::string& className, WORD id, DWORD style,
                                      const std::string& text, short x, short y, short cx,
                                      short cy) {
    Begin(style, id, x, y, cx, cy);
    Text(className);
    Text(text);
    Word(0);
    return *this;
}

const std::vector<BYTE>& DialogBuilder::Bytes() {
    while (m_bytes.size() % 4 != 0)
        m_bytes.push_back(0);
    return m_bytes;
}

const DLGTEMPLATE* DialogBuilder::Template() {
    return reinterpret_cast<const DLGTEMPLATE*>(Bytes().data());
}

} // namespace testsupport
