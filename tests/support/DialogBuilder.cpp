#include "support/DialogBuilder.h"

#include <cstring>

namespace testsupport {

namespace {
constexpr size_t kCountOffset = 8; // DLGTEMPLATE::cdit
} // namespace

DialogBuilder::DialogBuilder(DWORD style, const std::string& caption, short cx, short cy) {
    // Style, extended style, the item count (filled in as controls are added), the place and
    // size, no menu, the standard dialog class.
    for (WORD word : {LOWORD(style), HIWORD(style), WORD(0), WORD(0), WORD(0), WORD(10), WORD(10),
                      WORD(cx), WORD(cy), WORD(0), WORD(0)})
        Word(word);
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
    for (WORD word :
         {LOWORD(style), HIWORD(style), WORD(0), WORD(0), WORD(x), WORD(y), WORD(cx), WORD(cy), id})
        Word(word);
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
