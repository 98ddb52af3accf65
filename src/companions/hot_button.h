#pragma once

#include <QPushButton>

namespace xcpy {

// A push button with a picture and a caption that can also be pressed by setting Value.
class HotButton : public QPushButton {
    Q_OBJECT
public:
    explicit HotButton(QWidget* parent = nullptr);

    bool Value() const { return value_; }
    // Setting Value to true presses the button: Click is raised as by a user's click.
    void setValue(bool value);

signals:
    void Click();

private:
    bool value_ = false;
};

} // namespace xcpy
