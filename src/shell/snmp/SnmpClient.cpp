// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/snmp/SnmpClient.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <thread>

namespace parvolink::snmp {
namespace {

std::mutex libraryMutex;  // the library's user and engine tables are global

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Numbers only, no configuration or state files of the user's or the system's: what
        // is asked is what the command line or the window said.
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        snmp_disable_log();
        init_snmp("parvolink");
    });
}

// Where each discovery runs: a child process, and the pipe it writes what it found to.
struct Discovery {
    std::size_t index = 0;
    pid_t child = -1;
    int pipe = -1;
    std::string found;
    // A child forked from a threaded program may hang before it asks (a lock another thread
    // held at the fork): past this it is killed, and its agent counts as silent.
    std::chrono::steady_clock::time_point deadline;
    bool killed = false;
};

// An agent's engine as a discovery found it.
struct Engine {
    std::string id;  // empty: the agent did not answer
    u_int boots = 0;
    u_int time = 0;
    bool localFault = false;  // the discovery could not be started
};

Engine EngineFrom(const std::string& found) {
    Engine engine;
    if (found.size() > 2 * sizeof(u_int)) {
        std::memcpy(&engine.boots, found.data(), sizeof(u_int));
        std::memcpy(&engine.time, found.data() + sizeof(u_int), sizeof(u_int));
        engine.id = found.substr(2 * sizeof(u_int));
    }
    return engine;
}

// The child's part: net-snmp's own engine discovery (a request the agent answers with a report
// naming its engine), whose bytes go up the pipe. Nothing written: nothing answered.
[[noreturn]] void DiscoverInChild(const std::string& address, const ClientOptions& options,
                                  int pipe) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    std::string peer = "udp:" + address + ":" + std::to_string(options.port);
    char none[] = "";
    settings.peername = peer.data();
    settings.version = SNMP_VERSION_3;
    settings.securityName = none;
    settings.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    settings.timeout = options.timeoutMs * 1000L;
    settings.retries = options.retries;
    void* session = snmp_sess_open(&settings);
    if (session != nullptr) {
        // The first request probes the engine, and waits for it, before it is sent.
        netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
        if (snmp_sess_async_send(session, pdu, nullptr, nullptr) == 0) {
            snmp_free_pdu(pdu);
        }
        // The engine's boots and time, learned with it, then the engine's bytes: a request
        // authenticated with a time of zero would be answered only by a report.
        const netsnmp_session* opened = snmp_sess_session(session);
        u_int boots = 0;
        u_int time = 0;
        get_enginetime(opened->securityEngineID, opened->securityEngineIDLen, &boots, &time, TRUE);
        std::string found(reinterpret_cast<const char*>(&boots), sizeof boots);
        found.append(reinterpret_cast<const char*>(&time), sizeof time);
        found.append(reinterpret_cast<const char*>(opened->securityEngineID),
                     opened->securityEngineIDLen);
        std::size_t written = 0;
        while (opened->securityEngineIDLen > 0 && written < found.size()) {
            const ssize_t n = write(pipe, found.data() + written, found.size() - written);
            if (n <= 0) {
                break;
            }
            written += static_cast<std::size_t>(n);
        }
    }
    _exit(0);
}

// Starts the discovery of the agent at address in a child process of its own, added to
// running; false when there is no pipe or process to spare.
bool StartDiscovery(const std::string& address, std::size_t index, const ClientOptions& options,
                    std::vector<Discovery>& running) {
    int ends[2];
    if (pipe(ends) != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        DiscoverInChild(address, options, ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return false;
    }
    // Every try's wait, and a second for the child to start and report.
    const auto patience =
        std::chrono::milliseconds(options.timeoutMs * (options.retries + 1) + 1000);
    running.push_back({index, child, ends[0], {}, std::chrono::steady_clock::now() + patience});
    return true;
}

// Waits up to 100 ms for what the children write; a child whose pipe has closed is reaped and
// its engine taken, and it leaves running.
void ReadDiscoveries(std::vector<Discovery>& running, std::vector<Engine>& engines) {
    const auto now = std::chrono::steady_clock::now();
    for (Discovery& d : running) {
        if (!d.killed && now > d.deadline) {
            kill(d.child, SIGKILL);  // its pipe closes: it is reaped below
            d.killed = true;
        }
    }
    std::vector<pollfd> polled;
    for (const Discovery& d : running) {
        polled.push_back({d.pipe, POLLIN, 0});
    }
    if (!polled.empty() && poll(polled.data(), polled.size(), 100) > 0) {
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (polled[i].revents == 0) {
                continue;
            }
            char bytes[64];
            const ssize_t n = read(running[i].pipe, bytes, sizeof bytes);
            if (n > 0) {
                running[i].found.append(bytes, static_cast<std::size_t>(n));
                continue;
            }
            close(running[i].pipe);
            running[i].pipe = -1;
            waitpid(running[i].child, nullptr, 0);
            if (!running[i].killed) {  // what a killed child wrote may be cut short
                engines[running[i].index] = EngineFrom(running[i].found);
            }
        }
    }
    std::erase_if(running, [](const Discovery& d) { return d.pipe < 0; });
}

// The engine ID of every v3 query's agent, empty where none answered. The library's discovery
// blocks until the agent answers or the time is up, and its tables are not for threads: so
// each runs in a child process of its own, many at once, and one silent card costs its own
// timeout only.
std::vector<Engine> DiscoverEngines(const std::vector<Query>& queries, const ClientOptions& options,
                                    const std::atomic<bool>* stop) {
    constexpr std::size_t kMostChildren = 64;
    std::vector<Engine> engines(queries.size());
    std::vector<Discovery> running;
    std::size_t next = 0;
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    while (next < queries.size() || !running.empty()) {
        for (; next < queries.size() && running.size() < kMostChildren && !stopped(); ++next) {
            if (queries[next].credentials.version == Credentials::Version::V3 &&
                !StartDiscovery(queries[next].address, next, options, running)) {
                engines[next].localFault = true;
            }
        }
        if (stopped()) {
            for (const Discovery& d : running) {
                kill(d.child, SIGKILL);
            }
        }
        ReadDiscoveries(running, engines);
        if (stopped() && running.empty()) {
            break;
        }
    }
    return engines;
}

struct Pending {
    std::size_t index = 0;
    void* session = nullptr;
    Answer* answer = nullptr;
    bool done = false;
};

Value ValueOf(const netsnmp_variable_list& variable) {
    Value value;
    value.oid.assign(variable.name, variable.name + variable.name_length);
    value.present = true;
    switch (variable.type) {
        case ASN_INTEGER:
            value.number = *variable.val.integer;
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            value.number = static_cast<std::uint32_t>(*variable.val.integer);
            break;
        case ASN_OCTET_STR:
            value.text.assign(reinterpret_cast<const char*>(variable.val.string), variable.val_len);
            break;
        case ASN_OBJECT_ID:
            value.text = FormatOid(
                Oid(variable.val.objid, variable.val.objid + variable.val_len / sizeof(oid)));
            break;
        default:
            value.present = false;  // noSuchObject, noSuchInstance, endOfMibView, the rest
    }
    return value;
}

int OnReply(int operation, netsnmp_session* /*session*/, int /*request*/, netsnmp_pdu* pdu,
            void* magic) {
    auto* pending = static_cast<Pending*>(magic);
    if (pending->done || operation == NETSNMP_CALLBACK_OP_SEC_ERROR ||
        operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT) {
        // Not an end: a report comes again as a message, and a request sent again after a
        // report of time (the agent's clock, learned) is still to be answered.
        return 1;
    }
    Answer& answer = *pending->answer;
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && pdu != nullptr) {
        answer.agentFound = true;
        if (pdu->command == SNMP_MSG_REPORT) {
            answer.outcome =
                pdu->variables == nullptr
                    ? Outcome::OtherReport
                    : OutcomeOfReport(Oid(pdu->variables->name,
                                          pdu->variables->name + pdu->variables->name_length));
        } else {
            answer.outcome = Outcome::Answered;
            if (pdu->errstat != SNMP_ERR_NOERROR) {
                answer.errorStatus = snmp_errstring(static_cast<int>(pdu->errstat));
            }
            for (const netsnmp_variable_list* v = pdu->variables; v != nullptr;
                 v = v->next_variable) {
                answer.values.push_back(ValueOf(*v));
            }
        }
    } else {
        // Timed out, or the host said no agent listens there (port unreachable): either way
        // nothing answered.
        answer.outcome = Outcome::NoResponse;
    }
    pending->done = true;
    return 1;
}

// Keys made from passwords, by password, for one run of requests.
using KeyCache = std::map<std::string, std::string>;

// The key made from a password (RFC 3414's password to key: a megabyte of MD5), made once per
// password however many cards are asked with it; nothing for a password too short for one.
const std::string* KeyOf(KeyCache& keys, const std::string& password) {
    const auto known = keys.find(password);
    if (known != keys.end()) {
        return &known->second;
    }
    u_char key[USM_AUTH_KU_LEN];
    size_t length = sizeof key;
    std::string copy = password;
    if (generate_Ku(usmHMACMD5AuthProtocol, USM_AUTH_PROTO_MD5_LEN,
                    reinterpret_cast<u_char*>(copy.data()), copy.size(), key,
                    &length) != SNMPERR_SUCCESS) {
        return nullptr;
    }
    return &keys.emplace(password, std::string(reinterpret_cast<char*>(key), length)).first->second;
}

// The session's SNMPv3 security: the agent's engine, known already (the keys are localized to
// it, and opening does not probe again), the user and its keys. user and engineId are held by
// the caller until the session is opened. False when a password makes no key.
bool SetUserSecurity(netsnmp_session& settings, const Credentials& c, const Engine& engine,
                     KeyCache& keys, std::string& user, std::string& engineId) {
    settings.version = SNMP_VERSION_3;
    settings.securityEngineID = reinterpret_cast<u_char*>(engineId.data());
    settings.securityEngineIDLen = engineId.size();
    settings.engineBoots = engine.boots;
    settings.engineTime = engine.time;
    settings.securityName = user.data();
    settings.securityNameLen = user.size();
    settings.securityLevel = c.level >= 2   ? SNMP_SEC_LEVEL_AUTHPRIV
                             : c.level == 1 ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                            : SNMP_SEC_LEVEL_NOAUTH;
    settings.securityAuthProto = usmHMACMD5AuthProtocol;
    settings.securityAuthProtoLen = USM_AUTH_PROTO_MD5_LEN;
    settings.securityPrivProto = usmDESPrivProtocol;
    settings.securityPrivProtoLen = USM_PRIV_PROTO_DES_LEN;
    const auto key = [&](const std::string& password, u_char* out, size_t* length) {
        const std::string* ku = KeyOf(keys, password);
        if (ku == nullptr) {
            return false;
        }
        std::memcpy(out, ku->data(), ku->size());
        *length = ku->size();
        return true;
    };
    return (c.level < 1 ||
            key(c.authPassword, settings.securityAuthKey, &settings.securityAuthKeyLen)) &&
           (c.level < 2 ||
            key(c.privPassword, settings.securityPrivKey, &settings.securityPrivKeyLen));
}

// Sends the query's GET on the pending session; false (the library's reason in the answer)
// otherwise.
bool SendGet(const Query& query, Pending& pending) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    for (const Oid& object : query.oids) {
        const std::vector<oid> arcs(object.begin(), object.end());
        snmp_add_null_var(pdu, arcs.data(), arcs.size());
    }
    if (snmp_sess_async_send(pending.session, pdu, OnReply, &pending) != 0) {
        return true;
    }
    snmp_free_pdu(pdu);
    char* why = nullptr;
    snmp_sess_error(pending.session, nullptr, nullptr, &why);
    if (why != nullptr) {
        pending.answer->errorStatus = why;
        free(why);  // NOLINT: the library's own allocation
    }
    return false;
}

// Opens the query's session and sends its GET; false (the answer a local fault) otherwise.
bool Send(const Query& query, const Engine& engine, const ClientOptions& options, KeyCache& keys,
          Pending& pending) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    std::string peer = "udp:" + query.address + ":" + std::to_string(options.port);
    settings.peername = peer.data();
    settings.timeout = options.timeoutMs * 1000L;
    settings.retries = options.retries;
    const Credentials& c = query.credentials;
    std::string community = c.community;
    std::string user = c.user;
    std::string engineId = engine.id;
    if (c.version == Credentials::Version::V3) {
        if (!SetUserSecurity(settings, c, engine, keys, user, engineId)) {
            return false;
        }
    } else {
        settings.version = c.version == Credentials::Version::V1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        settings.community = reinterpret_cast<u_char*>(community.data());
        settings.community_len = community.size();
    }
    settings.callback = OnReply;
    settings.callback_magic = &pending;
    pending.session = snmp_sess_open(&settings);  // copies what it keeps
    return pending.session != nullptr && SendGet(query, pending);
}

// Closes the session and forgets the user it made, so that a later request with other
// passwords is not answered from this one's keys.
void Close(Pending& pending) {
    netsnmp_session* session = snmp_sess_session(pending.session);
    std::string engine;
    std::string user;
    if (session != nullptr && session->version == SNMP_VERSION_3) {
        engine.assign(reinterpret_cast<const char*>(session->securityEngineID),
                      session->securityEngineIDLen);
        user.assign(session->securityName, session->securityNameLen);
    }
    snmp_sess_close(pending.session);
    pending.session = nullptr;
    if (!engine.empty()) {
        if (usmUser* cached = usm_get_user(reinterpret_cast<const u_char*>(engine.data()),
                                           engine.size(), user.data())) {
            usm_remove_user(cached);
            usm_free_user(cached);
        }
    }
}

// Waits on every open session at once, for at most a tenth of a second.
void WaitOnce(std::list<Pending>& open) {
    netsnmp_large_fd_set readable;
    netsnmp_large_fd_set_init(&readable, FD_SETSIZE);
    int count = 0;
    timeval wait{0, 100000};
    for (Pending& pending : open) {
        timeval own{0, 100000};
        int block = 0;
        snmp_sess_select_info2(pending.session, &count, &readable, &own, &block);
        if (!block && timercmp(&own, &wait, <)) {
            wait = own;
        }
    }
    if (netsnmp_large_fd_set_select(count, &readable, nullptr, nullptr, &wait) > 0) {
        for (Pending& pending : open) {
            snmp_sess_read2(pending.session, &readable);
        }
    }
    for (Pending& pending : open) {
        if (!pending.done) {
            snmp_sess_timeout(pending.session);
        }
    }
    netsnmp_large_fd_set_cleanup(&readable);
}

}  // namespace

std::vector<Answer> Ask(const std::vector<Query>& queries, const ClientOptions& options,
                        const std::atomic<bool>* stop) {
    InitLibrary();
    const std::lock_guard lock(libraryMutex);
    std::vector<Answer> answers(queries.size());
    const std::vector<Engine> engines = DiscoverEngines(queries, options, stop);
    KeyCache keys;            // forgotten when the requests are done
    std::list<Pending> open;  // the callbacks hold their addresses: they must not move
    const std::size_t most = static_cast<std::size_t>(std::max(options.parallel, 1));
    std::size_t next = 0;
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    while ((next < queries.size() || !open.empty()) && !stopped()) {
        while (next < queries.size() && open.size() < most) {
            Pending& pending = open.emplace_back();
            pending.index = next;
            pending.answer = &answers[next];
            const bool v3 = queries[next].credentials.version == Credentials::Version::V3;
            if (v3 && engines[next].id.empty()) {
                open.pop_back();  // its agent did not answer the discovery
                if (engines[next].localFault) {
                    answers[next].outcome = Outcome::LocalFault;
                }
                ++next;
                continue;
            }
            answers[next].agentFound = v3;
            if (!Send(queries[next], engines[next], options, keys, pending)) {
                answers[next].outcome = Outcome::LocalFault;
                if (pending.session != nullptr) {
                    Close(pending);
                }
                open.pop_back();
            }
            ++next;
        }
        if (open.empty()) {
            continue;
        }
        WaitOnce(open);
        for (Pending& pending : open) {
            if (pending.done) {
                Close(pending);
            }
        }
        open.remove_if([](const Pending& p) { return p.session == nullptr; });
    }
    for (Pending& pending : open) {
        Close(pending);
    }
    return answers;
}

Oid SysObjectIdOid() {
    return {1, 3, 6, 1, 2, 1, 1, 2, 0};
}

std::vector<Answer> VerifyUser(const std::vector<std::string>& addresses,
                               const Credentials& credentials, const ClientOptions& options,
                               const std::atomic<bool>* stop) {
    const auto queries = [&](const Credentials& asked, const std::vector<std::size_t>& which) {
        std::vector<Query> list;
        for (const std::size_t i : which) {
            list.push_back({addresses[i], asked, {SysObjectIdOid()}});
        }
        return list;
    };
    std::vector<std::size_t> all(addresses.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = i;
    }
    std::vector<Answer> answers = Ask(queries(credentials, all), options, stop);
    if (credentials.version != Credentials::Version::V3 || credentials.level < 2) {
        return answers;
    }
    std::vector<std::size_t> silent;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i].outcome == Outcome::NoResponse && answers[i].agentFound) {
            silent.push_back(i);
        }
    }
    Credentials authOnly = credentials;
    authOnly.level = 1;
    const std::vector<Answer> again = Ask(queries(authOnly, silent), options, stop);
    for (std::size_t k = 0; k < silent.size(); ++k) {
        if (again[k].outcome == Outcome::Answered) {
            answers[silent[k]].outcome = Outcome::WrongPrivacy;
        }
    }
    return answers;
}

std::vector<Answer> VerifyUserJustWritten(const std::vector<std::string>& addresses,
                                          const Credentials& credentials,
                                          const ClientOptions& options,
                                          const std::atomic<bool>* stop) {
    std::vector<Answer> answers = VerifyUser(addresses, credentials, options, stop);
    std::vector<std::string> again;
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i].outcome != Outcome::Answered && answers[i].outcome != Outcome::LocalFault) {
            again.push_back(addresses[i]);
            which.push_back(i);
        }
    }
    if (again.empty()) {
        return answers;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleMs);
    while (std::chrono::steady_clock::now() < until && (stop == nullptr || !stop->load())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::vector<Answer> second = VerifyUser(again, credentials, options, stop);
    for (std::size_t k = 0; k < which.size(); ++k) {
        answers[which[k]] = second[k];
    }
    return answers;
}

}  // namespace parvolink::snmp
