// SPDX-License-Identifier: GPL-3.0-or-later
// A command's texts for the help, given once where the command is made.
#pragma once

#include "app/cli/Command.h"

namespace parvolink::cli::commands {

class Named : public Command {
public:
    Named(QStringList words, const char* arguments, const char* summary, const char* description)
        : words_(std::move(words)),
          arguments_(arguments),
          summary_(summary),
          description_(description) {}
    QStringList Words() const override { return words_; }
    const char* Arguments() const override { return arguments_; }
    const char* Summary() const override { return summary_; }
    const char* Description() const override { return description_; }

private:
    QStringList words_;
    const char* arguments_;
    const char* summary_;
    const char* description_;
};

}  // namespace parvolink::cli::commands
