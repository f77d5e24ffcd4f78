#include "BrowserHost.h"

#include "frame/VantelPrintUsb.h"

#include <cstdio>
#include <filesystem>

namespace host {

std::optional<BrowseOptions> ReadBrowseOptions(const std::vector<std::string>& words) {
    Args args(words, {"all"});
    const auto medium = MediumOption(args, "browse", 1);
    if (!medium)
        return std::nullopt;
    if (!args.Ok() || !args.Positional().empty()) {
        std::fprintf(stderr, "vantel browse: %s\n",
                     args.Ok() ? "usage: vantel browse [--medium M] [--all] [--out DIR]"
                               : args.Error().c_str());
        return std::nullopt;
    }
    BrowseOptions options{*medium, args.Has("all"), args.Get("out").value_or(".")};
    if (!CheckOutputFolder("browse", options.out))
        return std::nullopt;
    return options;
}

BrowserSession::BrowserSession(unsigned medium, bool showAll, FILE* out)
    : m_host(out), m_medium(medium), m_showAll(showAll ? 1 : 0) {}

BrowserSession::~BrowserSession() {
    if (m_design != nullptr)
        ::HeapFree(::GetProcessHeap(), 0, m_design);
    if (m_companion != nullptr)
        ::HeapFree(::GetProcessHeap(), 0, m_companion);
}

int BrowserSession::Run() {
    m_result = ReceiveDesignDialog(m_host.Owner(), &m_design, &m_designSize, m_name, &m_companion,
                                   &m_companionSize, &m_medium, &m_showAll);
    return m_result;
}

bool BrowserSession::Report(const std::string& folder) const {
    std::printf("medium %lu, show-all flag %u given back\n", static_cast<unsigned long>(m_medium),
                m_showAll);
    if (m_result != IDOK) {
        std::printf("%s\n", m_result == IDCANCEL ? "closed without receiving a design"
                                                 : "the browser failed");
        return false;
    }
    if (m_design == nullptr || m_designSize <= 1) {
        std::printf("nothing was received\n");
        return false;
    }
    // The name is the machine's: one plain file name, never a path.
    const std::string name = m_name;
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != name.npos) {
        std::printf("the design's name \"%s\" is not a file name; nothing written\n", m_name);
        return false;
    }
    const std::filesystem::path design = std::filesystem::path(folder) / name;
    if (!WriteWholeFile(design.string(), m_design, m_designSize - 1)) {
        std::printf("cannot write %s\n", design.string().c_str());
        return false;
    }
    std::printf("%s: %lu bytes -> %s\n", m_name, static_cast<unsigned long>(m_designSize - 1),
                design.string().c_str());
    if (m_companion != nullptr && m_companionSize > 1) {
        const std::filesystem::path companion =
            std::filesystem::path(folder) / (design.stem().string() + ".rzf");
        if (!WriteWholeFile(companion.string(), m_companion, m_companionSize - 1)) {
            std::printf("cannot write %s\n", companion.string().c_str());
            return false;
        }
        std::printf("companion: %lu bytes -> %s\n", static_cast<unsigned long>(m_companionSize - 1),
                    companion.string().c_str());
    } else {
        std::printf("no companion\n");
    }
    return true;
}

} // namespace host
