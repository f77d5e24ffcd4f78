#include "ComHost.h"

#include <cstdio>

namespace host {

ComHost::ComHost()
    : m_owner(::CreateWindowExA(0, "Static", "vantel", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                                NULL, nullptr)) {}

ComHost::~ComHost() {
    ::DestroyWindow(m_owner);
}

namespace {

std::optional<long long> RangeOption(Args& args, const char* command, const char* name,
                                     long long fallback, long long low, long long high) {
    const auto value = args.GetNumber(name, fallback);
    if (!value || *value < low || *value > high) {
        std::fprintf(stderr, "vantel %s: --%s takes %lld to %lld\n", command, name, low, high);
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<unsigned short> MediumOption(Args& args, const char* command, long long fallback) {
    const auto value = RangeOption(args, command, "medium", fallback, 1, 4);
    if (!value)
        return std::nullopt;
    return static_cast<unsigned short>(*value);
}

std::optional<BYTE> SelectorOption(Args& args, const char* command, long long fallback) {
    const auto value = RangeOption(args, command, "selector", fallback, 0, 255);
    if (!value)
        return std::nullopt;
    return static_cast<BYTE>(*value);
}

} // namespace host
