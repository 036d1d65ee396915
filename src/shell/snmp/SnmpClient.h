// SPDX-License-Identifier: GPL-3.0-or-later
// SNMP GET requests to many cards at once through net-snmp's library: one session (one socket)
// per card, all of them waited on together, so that a silent card costs its own timeout and no
// other card's time. Plain C++; blocking, so the window and the CLI call it off their event
// loops.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/snmp/SnmpTypes.h"

namespace parvolink::snmp {

struct Query {
    std::string address;  // dotted
    Credentials credentials;
    std::vector<Oid> oids;
};

struct ClientOptions {
    int timeoutMs = 1000;  // per try
    int retries = 1;
    std::uint16_t port = 161;
    int parallel = 256;  // sessions open at once, at most
    // Told, once, when the files this process may open keep it to fewer sessions.
    std::function<void(const std::string&)> onLimit;
};

// One answer per query, in order. When stop becomes true the requests still out are given up
// and answered NoResponse.
std::vector<Answer> Ask(const std::vector<Query>& queries, const ClientOptions& options,
                        const std::atomic<bool>* stop = nullptr);

// sysObjectID.0, the object a user's verification reads.
Oid SysObjectIdOid();

// Verifies the user on each card: an authenticated GET of sysObjectID.0 at the user's level.
// An agent drops a message whose privacy password is wrong without a report, so silence at
// authPriv is asked again at authNoPriv: an answer then means the privacy password is wrong.
std::vector<Answer> VerifyUser(const std::vector<std::string>& addresses,
                               const Credentials& credentials, const ClientOptions& options,
                               const std::atomic<bool>* stop = nullptr);

// A card that has just said "OK" to a user may still be bringing its agent up with it: the
// cards that do not verify are asked once more after this pause.
constexpr int kSettleMs = 2000;
// VerifyUser for a user just written: the cards that fail are asked again after kSettleMs.
std::vector<Answer> VerifyUserJustWritten(const std::vector<std::string>& addresses,
                                          const Credentials& credentials,
                                          const ClientOptions& options,
                                          const std::atomic<bool>* stop = nullptr);

}  // namespace parvolink::snmp
