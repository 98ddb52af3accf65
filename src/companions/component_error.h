#pragma once

#include <QString>
#include <stdexcept>

namespace xcpy {

// A failure inside a companion component. Callers that can recover catch it and show it
// through the error report; everywhere else it is left to end the program.
class ComponentError : public std::runtime_error {
public:
    ComponentError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number),
          description_(description) {}

    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

} // namespace xcpy
