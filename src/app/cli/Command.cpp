// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Command.h"

#include <QJsonArray>
#include <array>

#include "app/cli/ExitCodes.h"
#include "app/cli/Secrets.h"
#include "app/cli/TerminalText.h"
#include "core/config/UsmConfiguration.h"

namespace parvolink::cli {

std::vector<std::string> Command::Heading() const {
    return {"card", "result", "message"};
}

Record Command::Describe(const fleet::CardTask& task) const {
    const std::string card = FormatDottedAddress(task.address());
    const std::string result(task.resultName());
    Record record;
    record.json = {
        {"card", Latin1(card)}, {"result", Latin1(result)}, {"message", Latin1(task.message())}};
    record.csv = {{card, result, task.message()}};
    record.table = Padded(card, 15) + Padded(result, 11) + ForTerminal(task.message()) + "\n";
    if (!Writes()) {
        return record;
    }
    // What a write changed, or would change, field by field.
    QJsonArray changes;
    for (const fleet::Change& change : task.changes()) {
        changes.append(QJsonObject{{"field", Latin1(change.field)},
                                   {"before", Latin1(change.before)},
                                   {"after", Latin1(change.after)}});
        record.table += std::string(17, ' ') + ForTerminal(change.field) + ": " +
                        ForTerminal(change.before) + " -> " + ForTerminal(change.after) + "\n";
    }
    record.json["changes"] = changes;
    record.json["written"] = task.sentWrite();
    if (task.heldBy()) {
        record.json["held-by"] = Latin1(FormatDottedAddress(*task.heldBy()));
    }
    return record;
}

std::string Text(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

std::string CardText(const QByteArray& raw) {
    const QString decoded = QString::fromUtf8(raw);
    const bool utf8 =
        !decoded.contains(QChar::ReplacementCharacter) || raw.contains("\xEF\xBF\xBD");
    return utf8 ? decoded.toLatin1().toStdString() : raw.toStdString();
}

int Number(const QCommandLineParser& parser, const QString& name, int low, int high) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        throw UsageError{"--" + name.toStdString() + " takes a number from " + std::to_string(low) +
                         " to " + std::to_string(high)};
    }
    return value;
}

std::string Limited(const QString& text, std::size_t limit, const std::string& name) {
    const std::string value = Text(text);
    if (value.size() > limit) {
        throw UsageError{name + ": at most " + std::to_string(limit) + " characters"};
    }
    return value;
}

int Level(const QString& text) {
    const QString level = text.toLower();
    const std::array<QString, 3> names = {"noauthnopriv", "authnopriv", "authpriv"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (level == names[i] || level == QString::number(i)) {
            return static_cast<int>(i);
        }
    }
    throw UsageError{"--level takes noAuthNoPriv, authNoPriv or authPriv"};
}

QList<QCommandLineOption> PasswordFileOptions() {
    return {
        {"auth-password-file",
         "Read the authentication password from FILE "
         "(else PARVOLINK_AUTH_PASSWORD, else a prompt).",
         "FILE"},
        {"priv-password-file",
         "Read the privacy password from FILE (else PARVOLINK_PRIV_PASSWORD, else a prompt).",
         "FILE"},
    };
}

UserPasswordFiles TakePasswordFiles(const QCommandLineParser& parser) {
    return {Text(parser.value("auth-password-file")), Text(parser.value("priv-password-file"))};
}

std::optional<Fault> ReadUserPasswords(int level, const std::string& owner,
                                       const UserPasswordFiles& files, bool checkLength,
                                       std::string& auth, std::string& priv) {
    std::string error;
    int code = exitcode::kBadInput;
    const auto read = [&](const std::string& what, const std::string& file,
                          const std::string& option, const std::string& variable,
                          std::string& into) {
        const auto text = ReadSecret(
            {what, file, option, variable, "The " + what + " for " + owner + ": "}, error, code);
        if (text && checkLength && text->size() < usm::kShortestPassword) {
            code = exitcode::kBadInput;
            // The keys are derived from passwords of 8 characters or more.
            error = "the " + what + " has fewer than " + std::to_string(usm::kShortestPassword) +
                    " characters";
            return false;
        }
        into = text.value_or("");
        return text.has_value();
    };
    if (level >= AuthNoPriv && !read("authentication password", files.auth, "--auth-password-file",
                                     "PARVOLINK_AUTH_PASSWORD", auth)) {
        return Fault{code, error};
    }
    if (level >= AuthPriv && !read("privacy password", files.priv, "--priv-password-file",
                                   "PARVOLINK_PRIV_PASSWORD", priv)) {
        return Fault{code, error};
    }
    return std::nullopt;
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Padded(const std::string& text, int width) {
    return text.size() >= static_cast<std::size_t>(width)
               ? text + " "
               : text + std::string(static_cast<std::size_t>(width) - text.size() + 1, ' ');
}

}  // namespace parvolink::cli
