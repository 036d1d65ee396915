// SPDX-License-Identifier: GPL-3.0-or-later
// The IP address control: four octet fields of 0 to 255 that know which of them are blank.
// An address can be typed in one go, digits and dots, or pasted whole into any field.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <optional>

#include "base/DottedAddress.h"

namespace parvolink {

class IpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    void SetAddress(const Ipv4Address& address);
    void Clear();
    // Each field's value, nothing for a blank field.
    std::array<std::optional<std::uint8_t>, 4> Fields() const;
    // The address with blank fields read as 0.
    Ipv4Address Address() const;
    // The octet field i (0 to 3).
    QLineEdit* Field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

signals:
    void AddressEdited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnFieldEdited(std::size_t index);
    // Text holding dots arrived by paste or drop: its parts fill the fields, all four from the
    // first when it is a whole address, else from index on.
    void Distribute(std::size_t index, const QString& text);
    bool OnKey(std::size_t index, const QKeyEvent& key);
    void MoveTo(std::size_t index);

    std::array<QLineEdit*, 4> fields_{};
    // The field just filled its third digit and focus moved on by itself: a '.' typed next
    // belongs to the address already ended and does nothing.
    bool movedOnByItself_ = false;
};

}  // namespace parvolink
