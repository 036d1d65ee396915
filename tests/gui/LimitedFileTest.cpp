// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of the small files a user names: what it reads, and what it refuses before
// reading (a device, a pipe where only a file will do, too many bytes, a file others may read).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "shell/files/LimitedFile.h"

namespace parvolink {
namespace {

TEST(LimitedFile, ReadsWholeOrSaysWhyNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString();
    const std::string file = base + "/accounts";
    std::ofstream(file) << std::string(5000, 'x');  // more than one read's buffer
    ::chmod(file.c_str(), 0600);
    const std::string open = base + "/open";
    std::ofstream(open) << "x\n";
    ::chmod(open.c_str(), 0640);
    const std::string fifo = base + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const struct {
        std::string path;
        LimitedFileRules rules;
        LimitedFileFault fault;
    } cases[] = {
        {file, {.limit = 5000, .regularOnly = true, .ownerOnly = true}, LimitedFileFault::None},
        {file, {.limit = 4999}, LimitedFileFault::TooLarge},
        {base + "/missing", {.limit = 10}, LimitedFileFault::Unreadable},
        {base, {.limit = 10}, LimitedFileFault::NotAFile},
        {"/dev/zero", {.limit = 10}, LimitedFileFault::NotAFile},
        {fifo, {.limit = 10, .regularOnly = true}, LimitedFileFault::NotAFile},
        {open, {.limit = 10}, LimitedFileFault::None},
        {open, {.limit = 10, .ownerOnly = true}, LimitedFileFault::OpenToOthers},
    };
    for (const auto& c : cases) {
        std::string bytes = "stale";
        EXPECT_EQ(ReadLimitedFile(c.path, c.rules, bytes), c.fault) << c.path;
        if (c.fault != LimitedFileFault::None) {
            EXPECT_EQ(bytes, "") << c.path;
        }
    }
    std::string bytes;
    ASSERT_EQ(ReadLimitedFile(file, {.limit = 5000}, bytes), LimitedFileFault::None);
    EXPECT_EQ(bytes, std::string(5000, 'x'));
}

}  // namespace
}  // namespace parvolink
