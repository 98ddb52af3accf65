#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace xcpy {

// Offset, in twips, that centres a window of dialogSize on an owner of ownerSize; the difference
// is rounded half to even, then halved toward zero. Negative when the dialog is the larger.
int centredOffset(double ownerSize, double dialogSize);

// Edge, in twips, at which a dialog starts when centred on its owner along one axis.
double centredEdge(double ownerEdge, double ownerSize, double dialogSize);

// Small modal dialog in which the user edits the switch text that ends every XCOPY line.
// The text and the cancelled flag outlive the window, so one instance serves the whole program.
class frmOption : public QDialog {
    Q_OBJECT

public:
    // Text the reset button puts into the field.
    static inline const QString kDefaultXOption = QStringLiteral("/D /E ");

    explicit frmOption(QWidget* parent = nullptr);
    ~frmOption() override;

    void setXOption(const QString& o_XOption);
    QString XOption() const;

    // Shows the dialog modally, centred on o_Owner (or on the screen when null), and returns
    // true only when the user confirmed with OK.
    bool ShowEx(QWidget* o_Owner);

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdXInit_Click();

private:
    void placeOn(QWidget* owner);

    QString m_XOption;
    bool m_Cancel = true;

    QGroupBox* fraXCopy = nullptr;
    QLineEdit* txtXOption = nullptr;
    QPushButton* cmdXInit = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// Owns the program's one options dialog: created on first use, then reused.
class frmOptionHolder {
public:
    frmOption& get();
    bool created() const { return m_Dialog != nullptr; }

private:
    std::unique_ptr<frmOption> m_Dialog;
};

} // namespace xcpy
