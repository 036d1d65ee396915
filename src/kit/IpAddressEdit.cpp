// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/IpAddressEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpressionValidator>

namespace parvolink {
namespace {

constexpr int kOctetDigits = 3;
// Room for a pasted address with spaces around it; typing is held to three digits by the
// validator, not by the length.
constexpr int kLongestPaste = 31;

QString Clamped(const QString& digits) {
    return digits.toInt() > 255 ? QStringLiteral("255") : digits;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Up to three digits, or a dotted address arriving by paste (spread over the fields).
    auto* octet = new QRegularExpressionValidator(
        QRegularExpression(R"([0-9]{0,3}|\s*[0-9]{0,3}(\.[0-9]{0,3}){1,3}\s*)"), this);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0) {
            auto* dot = new QLabel(".", this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setObjectName(QString("octet%1").arg(i));
        field->setValidator(octet);
        field->setMaxLength(kLongestPaste);
        field->setAlignment(Qt::AlignCenter);
        field->setFrame(false);
        // The fields share the control's width; their own wide size hints must not count.
        field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        layout->addWidget(field, 1);
        fields_[i] = field;
    }
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusProxy(fields_[0]);
}

QSize IpAddressEdit::sizeHint() const {
    const int width = fontMetrics().horizontalAdvance("0000.0000.0000.0000");
    return {width, fields_[0]->sizeHint().height()};
}

void IpAddressEdit::SetAddress(const Ipv4Address& address) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(QString::number(address[i]));
    }
    movedOnByItself_ = false;
}

void IpAddressEdit::Clear() {
    for (QLineEdit* field : fields_) {
        field->clear();
    }
    movedOnByItself_ = false;
}

std::array<std::optional<std::uint8_t>, 4> IpAddressEdit::Fields() const {
    std::array<std::optional<std::uint8_t>, 4> values;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (!fields_[i]->text().isEmpty()) {
            values[i] = static_cast<std::uint8_t>(std::min(fields_[i]->text().toInt(), 255));
        }
    }
    return values;
}

Ipv4Address IpAddressEdit::Address() const {
    Ipv4Address address{};
    const auto values = Fields();
    for (std::size_t i = 0; i < values.size(); ++i) {
        address[i] = values[i].value_or(0);
    }
    return address;
}

void IpAddressEdit::MoveTo(std::size_t index) {
    fields_[index]->setFocus();
    fields_[index]->selectAll();
}

void IpAddressEdit::OnFieldEdited(std::size_t index) {
    QLineEdit* field = fields_[index];
    if (field->text().contains('.')) {
        Distribute(index, field->text());
    } else {
        if (const QString clamped = Clamped(field->text()); clamped != field->text()) {
            field->setText(clamped);
        }
        // A full field moves on to the next one, as desktop address boxes do.
        if (field->text().size() == kOctetDigits && index + 1 < fields_.size() &&
            field->cursorPosition() == kOctetDigits) {
            MoveTo(index + 1);
            movedOnByItself_ = true;
        }
    }
    emit AddressEdited();
}

void IpAddressEdit::Distribute(std::size_t index, const QString& text) {
    const QStringList parts = text.trimmed().split('.');
    const std::size_t first = static_cast<std::size_t>(parts.size()) == fields_.size() ? 0 : index;
    std::size_t last = first;
    for (qsizetype p = 0; p < parts.size() && first + static_cast<std::size_t>(p) < fields_.size();
         ++p) {
        last = first + static_cast<std::size_t>(p);
        fields_[last]->setText(Clamped(parts[p]));
    }
    fields_[last]->setFocus();
    fields_[last]->end(false);
    movedOnByItself_ = false;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (watched == fields_[i]) {
                return OnKey(i, *static_cast<QKeyEvent*>(event));
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool IpAddressEdit::OnKey(std::size_t index, const QKeyEvent& key) {
    const bool afterMove = std::exchange(movedOnByItself_, false);
    QLineEdit* field = fields_[index];
    if (key.text() == ".") {
        // '.' ends a field with something in it; anywhere else it has nothing to end.
        if (!afterMove && !field->text().isEmpty() && index + 1 < fields_.size()) {
            MoveTo(index + 1);
        }
        return true;
    }
    // Backspace at the start of a field goes back over the dot to the field before.
    if (key.key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 &&
        !field->hasSelectedText()) {
        fields_[index - 1]->setFocus();
        fields_[index - 1]->end(false);
        return true;
    }
    return false;
}

}  // namespace parvolink
