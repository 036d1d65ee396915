// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/snmp/SnmpClient.h"

#include "core/snmp/DiscoverySchedule.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <map>
#include <mutex>
#include <random>
#include <string_view>
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

using Clock = std::chrono::steady_clock;
using Engine = AgentEngine;

// The engine discovery of every v3 query's agent, stepped by the run's one wait loop: the
// schedule's probes sent from one socket, the reports read back into it. No process or thread
// per card.
class Discovery {
public:
    Discovery(const std::vector<Query>& queries, const ClientOptions& options)
        : schedule_(Agents(queries, options), options.timeoutMs, options.retries,
                    static_cast<std::size_t>(std::max(options.parallel, 1)), FirstMessageId()) {
        for (std::size_t i = 0; i < queries.size(); ++i) {
            if (queries[i].credentials.version == Credentials::Version::V3 &&
                !EndpointOf(queries[i].address, options.port)) {
                schedule_.NoAddress(i);
            }
        }
        if (schedule_.empty()) {
            return;
        }
        socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket_ < 0) {
            for (std::size_t i = 0; i < queries.size(); ++i) {
                if (queries[i].credentials.version == Credentials::Version::V3) {
                    schedule_.SendFailed(i);
                }
            }
        }
    }
    ~Discovery() {
        if (socket_ >= 0) {
            close(socket_);
        }
    }
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    // The socket reports come to; -1 when nothing is discovered.
    int socket() const { return socket_; }
    // Sends the probes that are due; the time the next one falls due.
    Clock::time_point Step() {
        if (socket_ < 0) {
            return Clock::now() + std::chrono::milliseconds(100);
        }
        DiscoverySchedule::Millis next = 0;
        for (const auto& send : schedule_.Due(Now(), next)) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(send.to.address);
            to.sin_port = htons(send.to.port);
            // A full socket buffer is a loss like any other: the probe's retry covers it.
            if (sendto(socket_, send.bytes.data(), send.bytes.size(), 0,
                       reinterpret_cast<sockaddr*>(&to), sizeof to) < 0 &&
                errno != EAGAIN && errno != EWOULDBLOCK) {
                schedule_.SendFailed(send.index);
            }
        }
        return Clock::time_point(std::chrono::milliseconds(next));
    }
    // Reads every datagram waiting on the socket.
    void Read() {
        for (;;) {
            char datagram[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = recvfrom(socket_, datagram, sizeof datagram, 0,
                                       reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) {
                return;
            }
            schedule_.OnDatagram(std::string_view(datagram, static_cast<std::size_t>(n)),
                                 {ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)});
        }
    }
    // A query's engine: found, or known silent or unreachable, once settled.
    const Engine& engine(std::size_t index) const { return schedule_.engine(index); }

private:
    static std::optional<Endpoint> EndpointOf(const std::string& address, std::uint16_t port) {
        in_addr parsed{};
        if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
            return std::nullopt;
        }
        return Endpoint{ntohl(parsed.s_addr), port};
    }
    // The agent of every v3 query whose address is a dotted quad.
    static std::vector<std::optional<Endpoint>> Agents(const std::vector<Query>& queries,
                                                       const ClientOptions& options) {
        std::vector<std::optional<Endpoint>> agents;
        for (const Query& query : queries) {
            agents.push_back(query.credentials.version == Credentials::Version::V3
                                 ? EndpointOf(query.address, options.port)
                                 : std::nullopt);
        }
        return agents;
    }
    // Message IDs from a random start: a late report to an earlier run is never taken.
    static std::int32_t FirstMessageId() {
        std::random_device random;
        return static_cast<std::int32_t>(random() & 0x3FFFFFFF);
    }
    static DiscoverySchedule::Millis Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   Clock::now().time_since_epoch())
            .count();
    }

    DiscoverySchedule schedule_;
    int socket_ = -1;
};

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
        case SNMP_NOSUCHOBJECT:
        case SNMP_NOSUCHINSTANCE:
        case SNMP_ENDOFMIBVIEW:
            value.present = false;
            break;
        default:
            value.otherType = true;
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
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
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
// Waits once for whatever comes first: an answer to a session, a report to the discovery
// (discoverySocket, -1 for none), a session's timeout, or due; hands each session what came.
// True when a report is waiting.
bool WaitOnce(std::list<Pending>& open, int discoverySocket, Clock::time_point due) {
    netsnmp_large_fd_set readable;
    netsnmp_large_fd_set_init(&readable, FD_SETSIZE);
    int count = 0;
    const auto until = std::chrono::duration_cast<std::chrono::microseconds>(due - Clock::now());
    const long micros = static_cast<long>(std::clamp<long long>(until.count(), 0, 100000));
    timeval wait{0, micros};
    if (discoverySocket >= 0) {
        NETSNMP_LARGE_FD_SET(discoverySocket, &readable);
        count = discoverySocket + 1;
    }
    for (Pending& pending : open) {
        timeval own{0, 100000};
        int block = 0;
        snmp_sess_select_info2(pending.session, &count, &readable, &own, &block);
        if (!block && timercmp(&own, &wait, <)) {
            wait = own;
        }
    }
    bool reported = false;
    if (netsnmp_large_fd_set_select(count, &readable, nullptr, nullptr, &wait) > 0) {
        reported = discoverySocket >= 0 && NETSNMP_LARGE_FD_ISSET(discoverySocket, &readable);
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
    return reported;
}

// Sessions open at once: as many as asked, within the files this process may still open
// (each session holds a socket), with a few to spare; options.onLimit hears when that binds.
std::size_t SessionBudget(const ClientOptions& options) {
    const auto asked = static_cast<std::size_t>(std::max(options.parallel, 1));
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return asked;
    }
    std::size_t open = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++open;
    }
    constexpr std::size_t kSpare = 16;
    const std::size_t free = files.rlim_cur > open + kSpare ? files.rlim_cur - open - kSpare : 1;
    if (free >= asked) {
        return asked;
    }
    if (options.onLimit) {
        options.onLimit("at most " + std::to_string(free) +
                        " cards are asked over SNMP at once: this process may open " +
                        std::to_string(files.rlim_cur) + " files (ulimit -n)");
    }
    return free;
}

// One run of requests: its answers, the engine discovery, the sessions open.
struct Run {
    Run(const std::vector<Query>& q, const ClientOptions& o)
        : queries(q),
          options(o),
          answers(q.size()),
          settled(q.size(), false),
          started(q.size(), false),
          discovery(q, o),
          most(SessionBudget(o)) {}

    bool Ended() const { return startedCount == queries.size() && open.empty(); }

    // Opens the session of every card that may be asked now (its engine known, or v1/v2c),
    // within the sessions allowed at once.
    void StartReady() {
        for (std::size_t i = 0; i < queries.size() && open.size() < most; ++i) {
            const bool v3 = queries[i].credentials.version == Credentials::Version::V3;
            if (started[i] || (v3 && !discovery.engine(i).settled)) {
                continue;
            }
            started[i] = true;
            ++startedCount;
            const Engine& engine = discovery.engine(i);
            if (v3 && engine.id.empty()) {
                settled[i] = true;  // its agent did not answer the discovery
                answers[i].outcome = engine.localFault ? Outcome::LocalFault : answers[i].outcome;
                continue;
            }
            Pending& pending = open.emplace_back();
            pending.index = i;
            pending.answer = &answers[i];
            answers[i].agentFound = v3;
            if (!Send(queries[i], engine, options, keys, pending)) {
                answers[i].outcome = Outcome::LocalFault;
                settled[i] = true;
                if (pending.session != nullptr) {
                    Close(pending);
                }
                open.pop_back();
            }
        }
    }
    void CloseAnswered() {
        for (Pending& pending : open) {
            if (pending.done) {
                settled[pending.index] = true;
                Close(pending);
            }
        }
        open.remove_if([](const Pending& p) { return p.session == nullptr; });
    }
    // The answers; with stopped, those cut short are interrupted.
    std::vector<Answer> Finish(bool stopped) {
        for (Pending& pending : open) {
            Close(pending);
        }
        for (std::size_t i = 0; i < answers.size(); ++i) {
            if (!settled[i] && stopped) {
                answers[i].outcome = Outcome::Interrupted;
            }
        }
        return std::move(answers);
    }

    const std::vector<Query>& queries;
    const ClientOptions& options;
    std::vector<Answer> answers;
    std::vector<bool> settled;  // not cut short by a stop
    std::vector<bool> started;
    std::size_t startedCount = 0;
    Discovery discovery;
    KeyCache keys;            // forgotten when the requests are done
    std::list<Pending> open;  // the callbacks hold their addresses: they must not move
    std::size_t most;
};

}  // namespace

std::vector<Answer> Ask(const std::vector<Query>& queries, const ClientOptions& options,
                        const std::atomic<bool>* stop) {
    InitLibrary();
    const std::lock_guard lock(libraryMutex);
    Run run(queries, options);
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    // One loop: probes go out as they fall due, and each card's GET as soon as its engine is
    // known, while the other cards' engines are still being found.
    while (!run.Ended() && !stopped()) {
        const Clock::time_point due = run.discovery.Step();
        run.StartReady();
        if (WaitOnce(run.open, run.discovery.socket(), due)) {
            run.discovery.Read();
        }
        run.CloseAnswered();
    }
    return run.Finish(stopped());
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
