// SPDX-License-Identifier: GPL-3.0-or-later
// Verifies one SNMPv3 user for the window, off its event loop: net-snmp's requests block, and
// a window must not. The answer comes back on the window's thread.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "core/snmp/SnmpTypes.h"
#include "shell/snmp/SnmpClient.h"

namespace parvolink {

class UserVerifier : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const snmp::Answer&)>;

    explicit UserVerifier(QObject* parent = nullptr) : QObject(parent) {}
    ~UserVerifier() override;
    UserVerifier(const UserVerifier&) = delete;
    UserVerifier& operator=(const UserVerifier&) = delete;

    // Verifies credentials' user on the card at address (dotted); done is called later on this
    // object's thread. A verification still running is given up first.
    void Verify(const std::string& address, const snmp::Credentials& credentials,
                const snmp::ClientOptions& options, Done done);
    // True from Verify until its done has been called.
    bool verifying() const { return verifying_; }

private:
    void GiveUp();

    std::thread worker_;
    std::atomic<bool> stop_{false};
    int generation_ = 0;  // the answers of a verification given up are dropped
    bool verifying_ = false;
};

}  // namespace parvolink
