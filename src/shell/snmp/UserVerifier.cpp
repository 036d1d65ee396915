// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/snmp/UserVerifier.h"

#include <QMetaObject>

namespace parvolink {

UserVerifier::~UserVerifier() {
    GiveUp();
}

void UserVerifier::GiveUp() {
    stop_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
    stop_ = false;
    ++generation_;
}

void UserVerifier::Verify(const std::string& address, const snmp::Credentials& credentials,
                          const snmp::ClientOptions& options, Done done) {
    GiveUp();
    verifying_ = true;
    const int generation = generation_;
    worker_ =
        std::thread([this, address, credentials, options, generation, done = std::move(done)] {
            const std::vector<snmp::Answer> answers =
                snmp::VerifyUserJustWritten({address}, credentials, options, &stop_);
            const snmp::Answer answer = answers.empty() ? snmp::Answer{} : answers.front();
            QMetaObject::invokeMethod(
                this,
                [this, generation, done, answer] {
                    if (generation == generation_) {
                        verifying_ = false;
                        done(answer);
                    }
                },
                Qt::QueuedConnection);
        });
}

}  // namespace parvolink
