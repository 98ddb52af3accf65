#include "companions/hot_button.h"

namespace xcpy {

HotButton::HotButton(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, this, &HotButton::Click);
}

void HotButton::setValue(bool value) {
    if (!value)
        return;
    value_ = true;
    emit Click();
    value_ = false;
}

} // namespace xcpy
