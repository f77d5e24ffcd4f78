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
        DWORD dwPe = 0, dwSignature = 0;
        WORD wSections = 0, wOptional = 0, wMagic = 0;
        if (!Dword(0x3C, dwPe) || !Dword(dwPe, dwSignature) || dwSignature != 0x4550 ||
            !Word(dwPe + 6, wSections) || !Word(dwPe + 20, wOptional) || !Word(dwPe + 24, wMagic) ||
            (wMagic != 0x10B && wMagic != 0x20B))
            return "not a PE file";
        const size_t optional = dwPe + 24;
        const size_t directories = optional + (wMagic == 0x10B ? 96 : 112);
        if (!Dword(directories + 2 * 8, m_dwRsrcRva) || m_dwRsrcRva == 0)
            return "no resource directory";
        m_sections = optional + wOptional;
        m_wSections = wSections;
        size_t base = 0;
        if (!Offset(m_dwRsrcRva, base))
            return "the resource directory lies outside every section";
        m_base = base;
        return Directory(0, 0, 0, 0, out);
    }

private:
    // Level 0 lists types, 1 identifiers, 2 languages; the language level leads to the data.
    std::string Directory(DWORD dwAt, int nLevel, WORD wType, WORD wID,
                          std::vector<PeResource>& out) {
        WORD wNamed = 0, wIds = 0;
        if (nLevel > 2 || !Word(m_base + dwAt + 12, wNamed) || !Word(m_base + dwAt + 14, wIds))
            return "a malformed resource directory";
        if (wNamed != 0)
            return "a resource named by a string";
        for (WORD i = 0; i < wIds; ++i) {
            DWORD dwName = 0, dwTarget = 0;
            if (!Dword(m_base + dwAt + 16 + i * 8, dwName) ||
                !Dword(m_base + dwAt + 20 + i * 8, dwTarget))
                return "a malformed resource entry";
            const bool bDirectory = (dwTarget & 0x80000000) != 0;
            if (bDirectory != (nLevel < 2))
                return "a resource tree of the wrong depth";
            const WORD wName = static_cast<WORD>(dwName);
            std::string error;
            if (nLevel == 0)
                error = Directory(dwTarget & 0x7FFFFFFF, 1, wName, 0, out);
            else if (nLevel == 1)
                error = Directory(dwTarget & 0x7FFFFFFF, 2, wType, wName, out);
            else
                error = Data(dwTarget, wType, wID, out);
            if (!error.empty())
                return error;
        }
        return "";
    }

    std::string Data(DWORD dwEntry, WORD wType, WORD wID, std::vector<PeResource>& out) {
        DWORD dwRva = 0, dwSize = 0;
        size_t at = 0;
        if (!Dword(m_base + dwEntry, dwRva) || !Dword(m_base + dwEntry + 4, dwSize) ||
            !Offset(dwRva, at) || at + dwSize > m_file.size())
            return "resource data outside the file";
        out.push_back(
            {wType, wID, std::vector<uint8_t>(m_file.begin() + at, m_file.begin() + at + dwSize)});
        return "";
    }

    // The file offset of a relative virtual address, through the section table.
    bool Offset(DWORD dwRva, size_t& at) {
        for (WORD i = 0; i < m_wSections; ++i) {
            DWORD dwSize = 0, dwVa = 0, dwRaw = 0, dwPointer = 0;
            const size_t header = m_sections + i * 40;
            if (!Dword(header + 8, dwSize) || !Dword(header + 12, dwVa) ||
                !Dword(header + 16, dwRaw) || !Dword(header + 20, dwPointer))
                return false;
            if (dwRva >= dwVa && dwRva - dwVa < dwRaw) {
                at = dwPointer + (dwRva - dwVa);
                return at < m_file.size();
            }
        }
        return false;
    }

    bool Word(size_t at, WORD& w) const {
        if (at + 2 > m_file.size())
            return false;
        w = static_cast<WORD>(m_file[at] | m_file[at + 1] << 8);
        return true;
    }
    bool Dword(size_t at, DWORD& dw) const {
        WORD wLow = 0, wHigh = 0;
        if (!Word(at, wLow) || !Word(at + 2, wHigh))
            return false;
        dw = wLow | static_cast<DWORD>(wHigh) << 16;
        return true;
    }

    const std::vector<uint8_t>& m_file;
    DWORD m_dwRsrcRva = 0;
    size_t m_sections = 0;
    WORD m_wSections = 0;
    size_t m_base = 0;
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
