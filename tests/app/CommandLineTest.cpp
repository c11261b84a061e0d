#include <gtest/gtest.h>

#include <vector>

#include "SelvarineVersion.h"
#include "app/CommandLine.h"

using app::ReadCommandLine;

namespace {

app::CommandLineResult Read(std::vector<const char*> args) {
    args.insert(args.begin(), "selvarine");
    return ReadCommandLine(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(CommandLine, AnswersHelpAndVersionAndRunsOtherwise) {
    const auto version = Read({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, std::string("selvarine ") + SELVARINE_VERSION + "\n");

    const auto help = Read({"--version", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const app::CommandLineOption& o : app::kCommandLineOptions)
        EXPECT_NE(help.out.find(o.name), std::string::npos) << o.name;

    for (const auto& args : {std::vector<const char*>{}, {"-platform", "xcb", "-reverse"}}) {
        const auto run = Read(args);
        EXPECT_LT(run.exitStatus, 0);
        EXPECT_TRUE(run.action.empty() && run.out.empty() && run.error.empty());
    }
}

TEST(CommandLine, RefusesWhatItDoesNotKnowWithStatusTwo) {
    const struct {
        std::vector<const char*> args;
        const char* named;
    } rows[] = {
        {{"--verbose"}, "'--verbose'"},
        {{"--help", "-x"}, "'-x'"},
        {{"notes.txt"}, "'notes.txt'"},
        {{"--Version"}, "'--Version'"},
        {{""}, "''"},
        {{"-platform"}, "'-platform' needs a value"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.named);
        const auto r = Read(row.args);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.error.find(row.named), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("--help"), std::string::npos);
    }
}
