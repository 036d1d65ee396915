#include "app/IpAddressEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpressionValidator>

namespace parvolink {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Digits only, three at most: values above 255 are brought down to 255 as they are typed.
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0) {
            auto* dot = new QLabel(".", this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setObjectName(QString("octet%1").arg(i));
        field->setValidator(digits);
        field->setMaxLength(3);
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
}

void IpAddressEdit::Clear() {
    for (QLineEdit* field : fields_) {
        field->clear();
    }
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

void IpAddressEdit::OnFieldEdited(std::size_t index) {
    QLineEdit* field = fields_[index];
    if (field->text().toInt() > 255) {
        field->setText("255");
    }
    // A full field moves on to the next one, as the Windows control does.
    if (field->text().size() == 3 && index + 1 < fields_.size()) {
        fields_[index + 1]->setFocus();
        fields_[index + 1]->selectAll();
    }
    emit AddressEdited();
}

}  // namespace parvolink

namespace parvolink {

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (watched != fields_[i]) {
            continue;
        }
        // '.' ends a field and moves on; Backspace in an empty field goes back.
        if (key->text() == "." && !fields_[i]->text().isEmpty() && i + 1 < fields_.size()) {
            fields_[i + 1]->setFocus();
            fields_[i + 1]->selectAll();
            return true;
        }
        if (key->key() == Qt::Key_Backspace && fields_[i]->text().isEmpty() && i > 0) {
            fields_[i - 1]->setFocus();
            fields_[i - 1]->end(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace parvolink
