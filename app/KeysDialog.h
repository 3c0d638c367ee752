#ifndef DOSEGATE_KEYSDIALOG_H
#define DOSEGATE_KEYSDIALOG_H

#include <QDialog>

#include <memory>

class CertificateWriter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class RecordStore;
class RecordWriter;
class SigningKey;

// People's keys on the records tab: a person creates theirs, the console
// is given the laboratory's keyring to trust, and a second person approves
// or rejects a finished calibration with theirs. The window only opens it.
class KeysDialog : public QDialog
{
    Q_OBJECT

public:
    // None is owned.
    KeysDialog(RecordStore* pStore, RecordWriter* pWriter, CertificateWriter* pCertificates,
               QWidget* parent = nullptr);

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
    void RowsWritten(qint64 firstTicket, qint64 lastTicket, qint64 lastSeq);

private:
    void Build();
    void Decide(bool approve);
    void ShowKeys();
    void Say(const QString& text);

    RecordStore* m_pStore;
    RecordWriter* m_pWriter;
    CertificateWriter* m_pCertificates;
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
    qint64 m_nTicket = 0; // the decision waiting to be written
    qint64 m_nDecided = 0; // its calibration
};

#endif
