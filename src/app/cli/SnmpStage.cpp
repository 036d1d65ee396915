// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/SnmpStage.h"

#include <QMetaObject>
#include <iostream>

#include "core/snmp/UpsStatus.h"
#include "shell/snmp/SnmpClient.h"

namespace parvolink::cli {

SnmpStage::~SnmpStage() {
    stop_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

namespace {

snmp::ClientOptions ClientFor(const SnmpQuestion& question) {
    snmp::ClientOptions client;
    client.timeoutMs = question.timeoutMs;
    client.retries = question.retries;
    client.onLimit = [](const std::string& limit) {
        std::cerr << "parvolink-cli: " + limit + "\n" << std::flush;
    };
    return client;
}

}  // namespace

void SnmpStage::Start(std::vector<std::pair<std::string, Probe>> probes, const SnmpQuestion& timing,
                      Done done) {
    std::vector<snmp::Query> queries;
    for (auto& [address, probe] : probes) {
        queries.push_back({address, std::move(probe.credentials), {snmp::SysObjectIdOid()}});
    }
    worker_ = std::thread([this, client = ClientFor(timing), queries = std::move(queries),
                           done = std::move(done)] {
        std::vector<snmp::Answer> answers = snmp::Ask(queries, client, &stop_);
        QMetaObject::invokeMethod(
            this, [done, answers = std::move(answers)] { done(answers); }, Qt::QueuedConnection);
    });
}

void SnmpStage::Start(const SnmpQuestion& question, std::vector<std::string> addresses, Done done) {
    const snmp::ClientOptions client = ClientFor(question);
    const bool status = question.kind == SnmpQuestion::Kind::UpsStatus;
    const bool justWritten = question.kind == SnmpQuestion::Kind::VerifyUserJustWritten;
    const snmp::Credentials credentials = question.credentials;
    worker_ = std::thread([this, status, justWritten, credentials, client,
                           addresses = std::move(addresses), done = std::move(done)] {
        std::vector<snmp::Answer> answers;
        if (status) {
            std::vector<snmp::Query> queries;
            for (const std::string& address : addresses) {
                queries.push_back({address, credentials, snmp::UpsStatusOids()});
            }
            answers = snmp::Ask(queries, client, &stop_);
        } else {
            answers = justWritten
                          ? snmp::VerifyUserJustWritten(addresses, credentials, client, &stop_)
                          : snmp::VerifyUser(addresses, credentials, client, &stop_);
        }
        QMetaObject::invokeMethod(
            this, [done, answers = std::move(answers)] { done(answers); }, Qt::QueuedConnection);
    });
}

fleet::Result ResultOf(snmp::Outcome outcome) {
    switch (outcome) {
        case snmp::Outcome::Answered:
            return fleet::Result::Done;
        case snmp::Outcome::NoResponse:
        case snmp::Outcome::Interrupted:  // the run's own code says why
            return fleet::Result::NoResponse;
        case snmp::Outcome::LocalFault:
            return fleet::Result::LocalFault;
        default:
            return fleet::Result::Refused;
    }
}

std::pair<fleet::Result, std::string> Verdict(const snmp::Answer& answer) {
    std::string message(answer.outcome == snmp::Outcome::Answered
                            ? answer.errorStatus
                            : snmp::OutcomeText(answer.outcome));
    if (answer.outcome == snmp::Outcome::LocalFault && !answer.errorStatus.empty()) {
        message += ": " + answer.errorStatus;
    }
    return {ResultOf(answer.outcome), message};
}

}  // namespace parvolink::cli
