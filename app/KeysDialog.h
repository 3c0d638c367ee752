#ifndef DOSEGATE_KEYSDIALOG_H
#define DOSEGATE_KEYSDIALOG_H

#include <QDialog>

#include <memory>

class ConsoleSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class SigningKey;

// People's keys on the records tab: a person creates theirs, the console
// is given the laboratory's keyring to trust, and a second person approves
// or rejects a finished calibration with theirs, which the session records.
// The window only opens it.
class KeysDialog : public QDialog
{
    Q_OBJECT

public:
    // The session is not owned.
    explicit KeysDialog(ConsoleSession* pSession, QWidget* parent = nullptr);

    // At Finish, when people here have keys: whose it is, unlocked by its
    // passphrase. False when the operator gave up or the passphrase was
    // wrong (said in a box); true with no key when nobody here has one.
    static bool AskPerformer(QWidget* parent, std::shared_ptr<const SigningKey>* pKey);

public slots:
    void open() override;

private slots:
    void CreateKey();
    void TrustKeyring();
    void Approve();
    void Reject();
    void ShowDecision(qint64 record, const QString& text);

private:
    void Build();
    void Decide(bool approve);
    void ShowKeys();
    void Say(const QString& text);

    ConsoleSession* m_pSession;
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pFunction = nullptr;
    QLineEdit* m_pNewPassphrase = nullptr;
    QLineEdit* m_pRepeated = nullptr;
    QPlainTextEdit* m_pEntry = nullptr; // the new key as a keyring entry, for the quality manager
    QLabel* m_pKeyring = nullptr;
    QSpinBox* m_pRecord = nullptr;
    QComboBox* m_pReviewer = nullptr;
    QLineEdit* m_pPassphrase = nullptr;
    QLineEdit* m_pReason = nullptr;
    QLabel* m_pState = nullptr;
};

#endif
