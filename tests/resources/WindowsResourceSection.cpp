// The resource section that windres put into the Windows build's VantelPrintUsb.dll (named by
// VANTEL_WINDOWS_DLL; make windows runs this test for each of its builds) holds exactly the
// resources the library builds from its tables, byte for byte. The one difference the resource
// compiler makes is the letter case of control classes given by name, which Windows ignores.
#include "resources/DialogTemplates.h"
#include "resources/ResourceSection.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct PeResource {
    WORD wType;
    WORD wID;
    std::vector<uint8_t> bytes;
};

// Reads the resource directory of a PE file (three levels: type, identifier, language),
// bounded by the file's bytes; an error text instead for anything that does not fit.
class PeResourceReader {
public:
    explicit PeResourceReader(const std::vector<uint8_t>& file) : m_file(file) {}

    std::string Read(std::vector<PeResource>& out) {
        const DWORD dwPe = Dword(0x3C);
        const WORD wMagic = Word(dwPe + 24);
        if (Dword(dwPe) != 0x4550 || (wMagic != 0x10B && wMagic != 0x20B))
            return "not a PE file";
        m_wSections = Word(dwPe + 6);
        m_sections = dwPe + 24 + Word(dwPe + 20);
        const DWORD dwRsrcRva = Dword(dwPe + 24 + (wMagic == 0x10B ? 96 : 112) + 2 * 8);
        if (m_bPastTheEnd || dwRsrcRva == 0 || !Offset(dwRsrcRva, m_base))
            return "no resource directory";
        const std::string error = Directory(0, 0, 0, 0, out);
        return m_bPastTheEnd ? "a read past the end of the file" : error;
    }

private:
    // Level 0 lists types, 1 identifiers, 2 languages; the language level leads to the data.
    std::string Directory(DWORD dwAt, int nLevel, WORD wType, WORD wID,
                          std::vector<PeResource>& out) {
        if (Word(m_base + dwAt + 12) != 0)
            return "a resource named by a string";
        const WORD wIds = Word(m_base + dwAt + 14);
        for (WORD i = 0; i < wIds && !m_bPastTheEnd; ++i) {
            const WORD wName = Word(m_base + dwAt + 16 + i * 8);
            const DWORD dwTarget = Dword(m_base + dwAt + 20 + i * 8);
            if (((dwTarget & 0x80000000) != 0) != (nLevel < 2))
                return "a resource tree of the wrong depth";
            const std::string error =
                nLevel < 2 ? Directory(dwTarget & 0x7FFFFFFF, nLevel + 1,
                                       nLevel == 0 ? wName : wType, nLevel == 1 ? wName : wID, out)
                           : Data(dwTarget, wType, wID, out);
            if (!error.empty())
                return error;
        }
        return "";
    }

    std::string Data(DWORD dwEntry, WORD wType, WORD wID, std::vector<PeResource>& out) {
        size_t at = 0;
        const DWORD dwSize = Dword(m_base + dwEntry + 4);
        if (!Offset(Dword(m_base + dwEntry), at) || at + dwSize > m_file.size())
            return "resource data outside the file";
        out.push_back(
            {wType, wID, std::vector<uint8_t>(m_file.begin() + at, m_file.begin() + at + dwSize)});
        return "";
    }

    // The file offset of a relative virtual address, through the section table.
    bool Offset(DWORD dwRva, size_t& at) {
        for (WORD i = 0; i < m_wSections; ++i) {
            const size_t header = m_sections + i * 40;
            const DWORD dwVa = Dword(header + 12), dwRaw = Dword(header + 16);
            if (dwRva >= dwVa && dwRva - dwVa < dwRaw) {
                at = Dword(header + 20) + (dwRva - dwVa);
                return at < m_file.size();
            }
        }
        return false;
    }

    // A little-endian number of n bytes; past the end of the file 0, and the file is refused.
    DWORD Number(size_t at, int n) {
        DWORD dw = 0;
        if (at + n > m_file.size())
            m_bPastTheEnd = true;
        else
            for (int i = n - 1; i >= 0; --i)
                dw = dw << 8 | m_file[at + i];
        return dw;
    }
    WORD Word(size_t at) { return static_cast<WORD>(Number(at, 2)); }
    DWORD Dword(size_t at) { return Number(at, 4); }

    const std::vector<uint8_t>& m_file;
    size_t m_sections = 0;
    WORD m_wSections = 0;
    size_t m_base = 0;
    bool m_bPastTheEnd = false;
};

// The template the resource compiler lays out for a table: the library's own, with the names
// of named control classes in capitals.
std::vector<uint8_t> CompiledTemplate(WORD wID) {
    const DIALOGRESOURCE* pTable = FindDialogResource(wID);
    EXPECT_NE(nullptr, pTable);
    if (pTable == nullptr)
        return {};
    std::vector<DIALOGCONTROL> controls(pTable->pControls, pTable->pControls + pTable->nControls);
    std::vector<std::string> classes;
    classes.reserve(controls.size()); // the controls point into it
    for (DIALOGCONTROL& control : controls) {
        classes.emplace_back(control.lpszClass);
        for (char& ch : classes.back())
            ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        if (classes.back() != "BUTTON" && classes.back() != "EDIT" && classes.back() != "STATIC")
            control.lpszClass = classes.back().c_str();
    }
    DIALOGRESOURCE table = *pTable;
    table.pControls = controls.data();
    std::vector<BYTE> bytes;
    EXPECT_TRUE(BuildDialogTemplate(table, bytes));
    return bytes;
}

} // namespace

TEST(WindowsResourceSection, HoldsTheResourcesOfTheTablesByteForByte) {
    const char* lpszDll = getenv("VANTEL_WINDOWS_DLL");
    if (lpszDll == nullptr)
        GTEST_SKIP() << "no Windows build named: make windows sets VANTEL_WINDOWS_DLL";
    const auto file = testsupport::ReadFileBytes(lpszDll);
    ASSERT_TRUE(file.has_value()) << lpszDll;
    std::vector<PeResource> found;
    ASSERT_EQ("", PeResourceReader(*file).Read(found));

    int nExpected = 0;
    const RESOURCEENTRY* pExpected = GetResourceSection(&nExpected);
    ASSERT_EQ(static_cast<size_t>(nExpected), found.size());
    for (int i = 0; i < nExpected; ++i) {
        const WORD wType = static_cast<WORD>(reinterpret_cast<uintptr_t>(pExpected[i].lpType));
        SCOPED_TRACE(testing::Message() << "type " << wType << ", resource " << pExpected[i].wID);
        const PeResource* pFound = nullptr;
        for (const PeResource& resource : found)
            pFound =
                resource.wType == wType && resource.wID == pExpected[i].wID ? &resource : pFound;
        ASSERT_NE(nullptr, pFound);
        std::vector<uint8_t> expected(pExpected[i].pData, pExpected[i].pData + pExpected[i].cbData);
        if (wType == 5) // RT_DIALOG
            expected = CompiledTemplate(pExpected[i].wID);
        EXPECT_EQ(expected, pFound->bytes);
    }
}
