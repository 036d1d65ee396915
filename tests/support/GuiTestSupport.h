// SPDX-License-Identifier: GPL-3.0-or-later
// What the widget tests share: a recorder in place of message boxes, a made-up network, and a
// way to act on a modal dialog once its own event loop runs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "kit/Prompter.h"
#include "shell/protocol/NetworkEnvironment.h"

namespace parvolink::testing {

class RecordingPrompter : public Prompter {
public:
    struct Shown {
        QWidget* parent;
        Message message;
    };
    std::vector<Shown> shown;
    std::vector<Message> asked;
    bool answerYes = false;

    void ShowMessage(QWidget* parent, const Message& message) override {
        shown.push_back({parent, message});
    }
    bool AskYesNo(QWidget*, const Message& message) override {
        asked.push_back(message);
        return answerYes;
    }
    std::vector<Message> Messages() const {
        std::vector<Message> messages;
        for (const Shown& s : shown) {
            messages.push_back(s.message);
        }
        return messages;
    }
};

class FakeNetwork : public NetworkEnvironment {
public:
    std::vector<InterfaceRow> table;
    std::vector<Ipv4Address> hostNameAddresses;
    std::vector<InterfaceRow> InterfaceTable() override { return table; }
    std::vector<Ipv4Address> HostNameAddresses() override { return hostNameAddresses; }
};

// The control whose id (object name) is id, failing the test when there is none.
template <class T>
T* Find(QWidget* parent, const char* id) {
    T* control = parent->findChild<T*>(id);
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

// The owner of every timer a test starts to act later (WhenModal's): the test programs' main
// deletes its children when each test ends, so that no timer of a test that failed early
// fires in the next one with references to locals that are gone.
inline QObject& TestTimers() {
    static QObject* owner = new QObject;
    return *owner;
}

class TestTimersEndWithTheirTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { qDeleteAll(TestTimers().children()); }
};

// Runs action on the first modal dialog of type Dialog that opens, from inside its event loop,
// once it is the active window.
// Fails the test if none opens within twenty seconds; a dialog of another type left open then
// is closed, so that the test ends instead of waiting for ever.
template <class Dialog>
void WhenModal(std::function<void(Dialog*)> action) {
    auto* timer = new QTimer(&TestTimers());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action] {
        // The modal stack may not name a dialog yet that is already running its loop: look
        // at the windows themselves too.
        Dialog* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (dialog == nullptr && window->isVisible() && window->isModal()) {
                dialog = qobject_cast<Dialog*>(window);
            }
        }
        if (dialog != nullptr && !dialog->isActiveWindow() && clock->elapsed() < 5000) {
            // Keys go to the focus: wait until the dialog has it, as a user would.
            dialog->activateWindow();
            return;
        }
        if (dialog != nullptr) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        } else if (clock->elapsed() > 20000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog never opened";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                other->reject();
            }
        }
    });
    timer->start(10);
}

// Types text as a user does: every key goes to whichever widget has the focus at that moment,
// so focus that moves on by itself is followed. '\b' stands for Backspace.
inline void TypeAsUser(const QString& text) {
    for (const QChar c : text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "no widget has the focus";
        if (c == '\b') {
            QTest::keyClick(focus, Qt::Key_Backspace);
        } else {
            QTest::keyClick(focus, c.toLatin1());
        }
    }
}

}  // namespace parvolink::testing
