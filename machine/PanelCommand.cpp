#include "machine/PanelCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace machine {

namespace {

bool ParseNumber(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || errno != 0 || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool ParseKind(const std::string& text, IoKind* kind) {
    if (text == "control")
        *kind = IoKind::Control;
    else if (text == "write")
        *kind = IoKind::Write;
    else if (text == "read")
        *kind = IoKind::Read;
    else
        return false;
    return true;
}

bool ParseSwitch(const std::string& text, bool* on) {
    if (text == "on")
        *on = true;
    else if (text == "off")
        *on = false;
    else
        return false;
    return true;
}

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(part, sizeof part, i ? " %02x" : "%02x", bytes[i]);
        text += part;
    }
    return text;
}

const char* ErrorName(IoError error) {
    switch (error) {
    case IoError::None:
        return "ok";
    case IoError::InvalidParameter:
        return "invalid-parameter";
    case IoError::InvalidFunction:
        return "invalid-function";
    case IoError::BufferTooSmall:
        return "buffer-too-small";
    case IoError::Failed:
        return "failed";
    case IoError::Gone:
        return "gone";
    case IoError::SharingViolation:
        return "sharing-violation";
    case IoError::NotFound:
        return "not-found";
    }
    return "?";
}

PanelReply Reply(int status, std::string text) {
    PanelReply reply;
    reply.status = status;
    reply.text = std::move(text);
    return reply;
}

PanelReply NotUnderstood(const std::string& why) {
    return Reply(2, why + "\n" + PanelCommandHelp());
}

PanelReply Fault(Machine& machine, const std::vector<std::string>& w) {
    long long n = 0;
    long long value = 0;
    IoKind kind;
    bool on = false;
    if (w.size() == 2 && w[1] == "clear") {
        machine.ClearFaults();
    } else if (w.size() == 4 && w[1] == "refuse" && ParseNumber(w[2], 0, 0xFFFFFFFFLL, &n) &&
               ParseNumber(w[3], 0, 0xFFFF, &value)) {
        machine.RefuseCode(static_cast<uint32_t>(n), static_cast<uint16_t>(value));
    } else if (w.size() == 4 && (w[1] == "fail" || w[1] == "unplug-at") && ParseKind(w[2], &kind) &&
               ParseNumber(w[3], 1, 1 << 30, &n)) {
        if (w[1] == "fail")
            machine.FailNth(kind, static_cast<int>(n));
        else
            machine.UnplugAt(kind, static_cast<int>(n));
    } else if (w.size() == 4 && w[1] == "short" && ParseNumber(w[2], 1, 1 << 30, &n) &&
               ParseNumber(w[3], 0, 511, &value)) {
        machine.ShortBlock(static_cast<int>(n), static_cast<uint32_t>(value));
    } else if (w.size() == 3 && w[1] == "not-ready" && ParseSwitch(w[2], &on)) {
        machine.StayNotReady(on);
    } else {
        return NotUnderstood("fault: unknown form");
    }
    return Reply(0, "");
}

PanelReply Set(Machine& machine, const std::vector<std::string>& w) {
    long long n = 0;
    long long medium = 0;
    if (w.size() == 3 && ParseNumber(w[2], 0, 1000000, &n)) {
        if (w[1] == "not-ready")
            machine.SetNotReadyReplies(static_cast<int>(n));
        else if (w[1] == "storing")
            machine.SetStoringPolls(static_cast<int>(n));
        else if (w[1] == "deleting")
            machine.SetDeletingPolls(static_cast<int>(n));
        else
            return NotUnderstood("set: unknown setting " + w[1]);
        return Reply(0, "");
    }
    if (w.size() == 4 && w[1] == "capacity" && ParseNumber(w[2], 1, 4, &medium) &&
        ParseNumber(w[3], 0, 1LL << 40, &n)) {
        machine.SetCapacity(static_cast<int>(medium), static_cast<uint64_t>(n));
        return Reply(0, "");
    }
    return NotUnderstood("set: unknown form");
}

std::string StatusText(Machine& machine) {
    std::string text;
    text += std::string("plugged: ") + (machine.Present() ? "yes" : "no") + "\n";
    text += std::string("running: ") + (machine.Running() ? "yes" : "no") + "\n";
    text += "requests waiting: " + std::to_string(machine.PendingRequests()) + "\n";
    for (int medium = kMediumBuiltIn; medium <= kMediumUsb; ++medium)
        text +=
            "medium " + std::to_string(medium) + " folder: " + machine.CurrentFolder(medium) + "\n";
    std::string name;
    std::vector<uint8_t> bytes;
    if (machine.SewingDesign(&name, &bytes))
        text += "sewing: " + name + " (" + std::to_string(bytes.size()) + " bytes)\n";
    else
        text += "sewing: none\n";
    text += "service answers: " + std::to_string(machine.ServiceAnswers().size()) + "\n";
    return text;
}

} // namespace

const char* PanelCommandHelp() {
    return "panel commands:\n"
           "  status                          plugged, running, requests, folders, sewing\n"
           "  request N [NAME]                raise service request 1-5 (4, 5 take a name)\n"
           "  run on|off                      the machine runs or stops\n"
           "  plug | unplug                   connect or disconnect the cable\n"
           "  put-sewing NAME                 the input bytes become the design for sewing\n"
           "  load MEDIUM PATH                load a design of medium 1-3 for sewing\n"
           "  sewing                          the design for sewing (output)\n"
           "  answers                         the service answers the PC sent, as listings\n"
           "  answer [N]                      the last (or N-th, from 1) answer (output)\n"
           "  trace | clear-trace             the requests and blocks seen\n"
           "  set not-ready|storing|deleting N | set capacity MEDIUM BYTES\n"
           "  fault refuse CODE DETAIL | fault fail|unplug-at control|write|read N\n"
           "  fault short N BYTES | fault not-ready on|off | fault clear\n";
}

std::string DescribeFolderBlob(const std::vector<uint8_t>& blob) {
    if (blob.size() < 4)
        return "(no listing)\n";
    uint32_t count = GetU32(blob.data());
    std::string text = std::to_string(count) + " entries\n";
    size_t at = 4;
    for (uint32_t i = 0; i < count; ++i) {
        if (blob.size() - at < 16) {
            text += "(listing ends early)\n";
            break;
        }
        uint32_t length = GetU32(&blob[at]);
        if (length < 16 || length > blob.size() - at) {
            text += "(malformed record)\n";
            break;
        }
        int32_t kind = static_cast<int32_t>(GetU32(&blob[at + 4]));
        std::string name;
        for (size_t j = at + 16; j < at + length && blob[j] != 0; ++j)
            name += static_cast<char>(blob[j]);
        text += "  " + name +
                (kind == kKindFolder ? "\\" : "  (type " + std::to_string(kind) + ")") + "\n";
        at += length;
    }
    return text;
}

std::string DescribeTraceEntry(const TraceEntry& entry) {
    char line[160];
    if (entry.kind == IoKind::Control) {
        std::snprintf(line, sizeof line, "control %08x request %s reply %s %s", entry.code,
                      Hex(entry.request.data(), entry.request.size()).c_str(),
                      Hex(entry.reply.data(), entry.reply.size()).c_str(), ErrorName(entry.error));
    } else {
        std::snprintf(line, sizeof line, "%s %u moved %u %s",
                      entry.kind == IoKind::Write ? "write" : "read", entry.length, entry.moved,
                      ErrorName(entry.error));
    }
    return line;
}

PanelReply RunPanelCommand(Machine& machine, const std::vector<std::string>& w,
                           const std::vector<uint8_t>& input) {
    if (w.empty())
        return NotUnderstood("no panel command");
    const std::string& command = w[0];
    long long n = 0;
    bool on = false;
    if (command == "status" && w.size() == 1)
        return Reply(0, StatusText(machine));
    if (command == "request" && (w.size() == 2 || w.size() == 3) && ParseNumber(w[1], 1, 5, &n)) {
        if (!machine.RaiseRequest(static_cast<int>(n), w.size() == 3 ? w[2] : std::string()))
            return Reply(1, "request " + w[1] + " needs a name of 1 to 511 characters\n");
        return Reply(0, "");
    }
    if (command == "run" && w.size() == 2 && ParseSwitch(w[1], &on)) {
        machine.SetRunning(on);
        return Reply(0, "");
    }
    if ((command == "plug" || command == "unplug") && w.size() == 1) {
        if (command == "plug")
            machine.Plug();
        else
            machine.Unplug();
        return Reply(0, "");
    }
    if (command == "put-sewing" && w.size() == 2) {
        if (!machine.PutSewingDesign(w[1], input))
            return Reply(1, "medium 4 refused the design '" + w[1] + "'\n");
        return Reply(0, "");
    }
    if (command == "load" && w.size() == 3 && ParseNumber(w[1], 1, 3, &n)) {
        if (!machine.LoadSewingDesign(static_cast<int>(n), w[2]))
            return Reply(1, "cannot load '" + w[2] + "' of medium " + w[1] + "\n");
        return Reply(0, "");
    }
    if (command == "sewing" && w.size() == 1) {
        PanelReply reply;
        std::string name;
        if (!machine.SewingDesign(&name, &reply.output))
            return Reply(1, "no design is loaded for sewing\n");
        reply.text = name + " " + std::to_string(reply.output.size()) + "\n";
        return reply;
    }
    if (command == "answers" && w.size() == 1) {
        std::string text;
        for (const auto& answer : machine.ServiceAnswers())
            text += DescribeFolderBlob(answer);
        return Reply(0, text);
    }
    if (command == "answer" && w.size() <= 2) {
        auto answers = machine.ServiceAnswers();
        long long index = static_cast<long long>(answers.size());
        if (w.size() == 2 && !ParseNumber(w[1], 1, 1 << 20, &index))
            return NotUnderstood("answer: N is a number from 1");
        if (index < 1 || static_cast<size_t>(index) > answers.size())
            return Reply(1, "no such service answer\n");
        PanelReply reply;
        reply.output = answers[static_cast<size_t>(index - 1)];
        reply.text = std::to_string(reply.output.size()) + " bytes\n";
        return reply;
    }
    if (command == "trace" && w.size() == 1) {
        std::string text;
        for (const TraceEntry& entry : machine.Trace())
            text += DescribeTraceEntry(entry) + "\n";
        return Reply(0, text);
    }
    if (command == "clear-trace" && w.size() == 1) {
        machine.ClearTrace();
        return Reply(0, "");
    }
    if (command == "fault")
        return Fault(machine, w);
    if (command == "set")
        return Set(machine, w);
    return NotUnderstood("unknown panel command '" + command + "'");
}

} // namespace machine
