// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commands/SnmpReading.h"

#include "app/cli/ExitCodes.h"
#include "app/cli/Secrets.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli::commands {

QCommandLineOption SnmpTimeoutOption() {
    return {"snmp-timeout",
            "Wait MS milliseconds for each SNMP answer (default " +
                QString::number(kDefaultSnmpTimeoutMs) + "; one retry).",
            "MS", QString::number(kDefaultSnmpTimeoutMs)};
}

int TakeSnmpTimeout(const QCommandLineParser& parser) {
    return Number(parser, "snmp-timeout", 10, kLongestSnmpTimeoutMs);
}

void SnmpReading::AddOptions(QCommandLineParser& parser) const {
    parser.addOptions({
        {"user", "The SNMPv3 user, at most 8 characters.", "NAME"},
        {"level", "The user's level: noAuthNoPriv, authNoPriv or authPriv.", "LEVEL"},
        SnmpTimeoutOption(),
    });
    parser.addOptions(PasswordFileOptions());
    if (community_) {
        parser.addOptions({
            {"community-file",
             "Use SNMPv1 or v2c with the community on the first line of FILE (never on the "
             "command line).",
             "FILE"},
            {"snmp-version", "With --community-file: 1 or 2c (default 2c).", "VERSION", "2c"},
        });
    }
}

void SnmpReading::Take(const QCommandLineParser& parser, QStringList&) {
    timeoutMs_ = TakeSnmpTimeout(parser);
    if (community_ && parser.isSet("community-file")) {
        if (parser.isSet("user")) {
            throw UsageError{"give --user or --community-file, not both"};
        }
        const QString version = parser.value("snmp-version");
        if (version != "1" && version != "2c") {
            throw UsageError{"--snmp-version takes 1 or 2c"};
        }
        credentials_.version =
            version == "1" ? snmp::Credentials::Version::V1 : snmp::Credentials::Version::V2c;
        communityFile_ = Text(parser.value("community-file"));
        return;
    }
    if (!parser.isSet("user") || !parser.isSet("level")) {
        throw UsageError{community_ ? "give --user and --level, or --community-file"
                                    : "--user and --level are needed"};
    }
    credentials_.version = snmp::Credentials::Version::V3;
    credentials_.user = Limited(parser.value("user"), usm::kTextLength, "--user");
    credentials_.level = Level(parser.value("level"));
    files_ = TakePasswordFiles(parser);
}

std::optional<Fault> SnmpReading::ReadSecrets(const std::string&) {
    std::string error;
    if (credentials_.version != snmp::Credentials::Version::V3) {
        int code = exitcode::kBadInput;
        const auto community =
            ReadSecret({"community", communityFile_, "--community-file", "", ""}, error, code);
        if (!community) {
            return Fault{code, error};
        }
        credentials_.community = *community;
        return std::nullopt;
    }
    if (auto refusal = ReadUserPasswords(credentials_.level, credentials_.user, files_, true,
                                         credentials_.authPassword, credentials_.privPassword)) {
        return refusal;
    }
    return std::nullopt;
}

}  // namespace parvolink::cli::commands
