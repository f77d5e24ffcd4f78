// Design files of every kind the host reads - the machine's plain (".kst") and extended (".kst+")
// designs, Tajima DST (".dst") and Melco EXP (".exp"), told apart by their extension in any letter
// case - turned into the plain design the machine loads.
#pragma once

#include "stdafx.h"
#include "formats/Design.h"

#include <string>
#include <vector>

namespace host {

enum class DesignKind { Plain, Extended, Dst, Exp, Unknown };

DesignKind KindOfPath(const std::string& path);

// "a .kst, .kst+, .dst or .exp file": the kinds the host reads, for messages.
extern const char* const kDesignKinds;

struct DesignFile {
    DesignKind kind = DesignKind::Unknown;
    std::vector<unsigned char> plain; // the plain design
    std::string label;                // the DST label, or else the file's stem
    std::string machineName;          // the file's name, with ".kst" for a converted design
};

// Reads `path` and gives its plain design: a plain design's bytes as they are, an extended one
// through CConvert::PlusToKst (its header, tables and record block checked against the file's
// length first), DST and EXP read strictly and written with the hoop code `hoop`. No machine limit
// is applied. Returns an empty string on success, or the reason it failed, naming the file.
std::string ReadDesignFile(const std::string& path, LONG hoop, DesignFile& file);

// What the machine is sent for a design file: its plain bytes and its name on the machine.
struct MachineDesign {
    std::vector<unsigned char> bytes;
    std::string name; // "rose.dst" -> "rose.kst"
};

// Reads a design file of any kind the host reads for sending (DST and EXP with hoop code 0): a
// plain design goes as it is, for the machine to check; a converted one must keep to the
// machine's limits of 78 colour blocks and 100000 units, or the reason names `vantel divide`.
// Returns an empty string on success, or the reason it failed.
std::string LoadDesignForMachine(const std::string& path, MachineDesign& design);

// The reason a plain design of `colours` blocks and `units` units exceeds what the machine takes,
// with the hint to cut it into parts; empty when it does not.
std::string MachineLimitProblem(const std::string& path, long colours, long units);

} // namespace host
