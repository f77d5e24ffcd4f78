// vantel status, put, get, folderinfo, send, receive, ls and pick, run as the program itself on an
// embedded machine of their own: what they print and their exit statuses.
#include "stdafx.h"
#include "command/ComTestKit.h"
#include "support/HostRuns.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

TEST(ComCommands, PutGetStatusAndFolderInfo) {
    testsupport::TempDir dir;
    const std::vector<BYTE> rose = comtest::Design(1, 3);
    testsupport::WriteFileBytes(dir.File("rose.kst"), rose);
    std::filesystem::create_directories(dir.File("pc/Sub"));
    std::filesystem::create_directories(dir.File("machine/medium1/EMB/F"));
    testsupport::WriteFileBytes(dir.File("pc/rose.kst"), rose);
    testsupport::WriteFileBytes(dir.File("pc/Sub/tulip.kst"), rose);
    const std::string put = "put " + dir.File("rose.kst");
    const std::vector<testsupport::HostRun> runs = {
        {"status", 0, "not running"},
        {put + " --to '\\EMB\\ROSE.KST'", 0, "bytes"},
        {"get '\\EMB\\ROSE.KST' --out " + dir.File("back.kst"), 0, "bytes"},
        {"get '\\EMB\\NONE.KST' --out " + dir.File("none.kst"), 1, "Receiving"},
        {put + " --to X --medium 5", 2, "medium"},
        {"status extra", 2, "usage"},
        {"send " + dir.File("rose.kst") + " --to '\\EMB\\NONE'", 1,
         "Sending: Failed to send a design."},
        {"send " + dir.File("pc/Sub/tulip.kst") + " --to '\\EMB' --direct", 0,
         "1 of 1 designs sent"},
        {"send " + dir.File("none.kst") + " --to '\\EMB' --direct", 1, "cannot read"},
        {"sample --out " + dir.File("pc/Sub/moss.dst"), 0, "moss.dst"},
        {"send " + dir.File("pc/Sub/moss.dst") + " --to '\\EMB'", 0, "1 of 1 designs sent"},
        {"ls", 0, "moss.kst"},
        {"receive '\\EMB\\tulip.kst' '\\EMB\\TULIP.KST' --to " + dir.File("pc/Sub"), 0,
         "Sub/temp.kst\n"},
        {"receive '\\EMB\\rose.kst' --to " + dir.File("none"), 2, "not a folder"},
        {"send " + dir.File("pc/Sub/tulip.kst") + " --to '\\EMB\\F' --direct", 0, "1 of 1"},
        {"ls --medium 1", 0, "folder                      F\\\n"},
        {"ls '\\EMB\\F' --json", 0, "\"name\": \"tulip.kst\", \"folder\": false"},
        {"pick F tulip.kst --out " + dir.File("pc/Sub"), 1, "designs without a companion are"},
        {"pick F tulip.kst --all --out " + dir.File("pc/Sub"), 0, "tulip.kst: 270 bytes"},
        {"pick G x.kst --out " + dir.File("pc"), 1, "no folder G is listed"},
        {"folderinfo " + dir.File("pc") + " --out " + dir.File("blob"), 0, "2 entries, 52 bytes"},
    };
    std::string output;
    testsupport::ExpectHostRuns(dir.File("machine"), runs, &output);
    EXPECT_NE(std::string::npos, output.find("Sub\\")) << output;
    EXPECT_TRUE(std::filesystem::exists(dir.File("pc/Sub/temp.KST"))) << "beside temp.kst";
    EXPECT_EQ(rose, testsupport::ReadFileBytes(dir.File("back.kst")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.kst")));
    EXPECT_EQ(52u,
              testsupport::ReadFileBytes(dir.File("blob")).value_or(std::vector<uint8_t>()).size());
}

// A scripted run of the file commands leaves the machine as a model of the same steps says:
// entries by path, each a size (-1 for a folder), listed as `vantel machine ls` lists them.
TEST(FileCommands, ScriptedRunLeavesWhatTheModelPredicts) {
    testsupport::TempDir dir;
    const std::vector<BYTE> rose = comtest::Design(1, 3), tulip = comtest::Design(1, 2);
    testsupport::WriteFileBytes(dir.File("rose.kst"), rose);
    testsupport::WriteFileBytes(dir.File("tulip.kst"), tulip);
    std::map<std::string, long> model; // "FLOWERS/SUB/" style paths below EMB
    const long roseSize = static_cast<long>(rose.size()),
               tulipSize = static_cast<long>(tulip.size());
    const struct {
        std::string args;
        std::function<void()> step;
    } runs[] = {
        {"mkdir '\\EMB' FLOWERS", [&] { model["FLOWERS/"] = -1; }},
        {"mkdir '\\EMB\\FLOWERS' SUB", [&] { model["FLOWERS/SUB/"] = -1; }},
        {"send rose.kst tulip.kst --to '\\EMB\\FLOWERS' --direct",
         [&] { model["FLOWERS/rose.kst"] = roseSize, model["FLOWERS/tulip.kst"] = tulipSize; }},
        {"send rose.kst --to '\\EMB\\FLOWERS\\SUB'",
         [&] { model["FLOWERS/SUB/rose.kst"] = roseSize; }},
        {"rename '\\EMB\\FLOWERS\\tulip.kst' daisy.dst",
         [&] { model.erase("FLOWERS/tulip.kst"), model["FLOWERS/daisy.kst"] = tulipSize; }},
        {"rename '\\EMB\\FLOWERS\\SUB' Stems",
         [&] {
             model.erase("FLOWERS/SUB/"), model.erase("FLOWERS/SUB/rose.kst");
             model["FLOWERS/Stems/"] = -1, model["FLOWERS/Stems/rose.kst"] = roseSize;
         }},
        {"rm '\\EMB\\FLOWERS\\rose.kst'", [&] { model.erase("FLOWERS/rose.kst"); }},
        {"mkdir '\\EMB' OLD", [&] { model["OLD/"] = -1; }},
        {"mkdir '\\EMB\\OLD' INNER", [] {}},
        {"send rose.kst --to '\\EMB\\OLD\\INNER'", [] {}},
        {"rm --folder '\\EMB\\OLD'", [&] { model.erase("OLD/"); }},
    };
    const std::string vantel = "cd " + dir.Path() + " && TMPDIR=" + dir.Path() +
                               " VANTEL_MACHINE=embedded:machine " + VANTEL_HOST_EXE + " ";
    std::string output;
    for (const auto& run : runs) {
        ASSERT_EQ(testsupport::RunCommand(vantel + run.args + " 2>&1", &output), 0)
            << run.args << "\n"
            << output;
        run.step();
    }
    // The model as the machine lists it: folders first, then files, by name without case.
    std::function<std::string(const std::string&, int)> render = [&](const std::string& folder,
                                                                     int depth) {
        std::vector<std::pair<std::string, long>> folders, files;
        for (const auto& [path, size] : model) {
            const std::string rest =
                path.substr(0, folder.size()) == folder ? path.substr(folder.size()) : "";
            const size_t slash = rest.find('/');
            if (rest.empty() || (slash != std::string::npos && slash + 1 != rest.size()))
                continue;
            (size < 0 ? folders : files).emplace_back(rest, size);
        }
        auto byName = [](const auto& a, const auto& b) {
            return _stricmp(a.first.c_str(), b.first.c_str()) < 0;
        };
        std::sort(folders.begin(), folders.end(), byName);
        std::sort(files.begin(), files.end(), byName);
        std::string text;
        const std::string indent(2 * depth, ' ');
        for (const auto& [name, size] : folders)
            text += indent + name.substr(0, name.size() - 1) + "\\\n" +
                    render(folder + name, depth + 1);
        for (const auto& [name, size] : files)
            text += indent + name + "  " + std::to_string(size) + "\n";
        return text;
    };
    std::string listing;
    testsupport::RunCommand(vantel + "machine ls --storage machine --medium 1", &listing);
    EXPECT_EQ(listing, "EMB\\\n" + render("", 1));
}
