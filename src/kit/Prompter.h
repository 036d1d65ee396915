// SPDX-License-Identifier: GPL-3.0-or-later
// The one place where modal message boxes are shown. Tests put a recorder in its place.
#pragma once

#include "base/Message.h"

class QWidget;

namespace parvolink {

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows message modally with an OK button, owned by parent (none when nullptr).
    virtual void ShowMessage(QWidget* parent, const Message& message) = 0;
    // Asks message with the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const Message& message) = 0;
};

class MessageBoxPrompter : public Prompter {
public:
    void ShowMessage(QWidget* parent, const Message& message) override;
    bool AskYesNo(QWidget* parent, const Message& message) override;
};

}  // namespace parvolink
