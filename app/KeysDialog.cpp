#include "KeysDialog.h"

#include "ConsoleSession.h"
#include "Keyring.h"
#include "SigningKey.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QStringList KeyFiles()
{
    return QDir(SigningKey::Folder()).entryList({ QStringLiteral("*.key") }, QDir::Files, QDir::Name);
}

QLineEdit* Passphrase()
{
    auto* edit = new QLineEdit;
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

KeysDialog::KeysDialog(ConsoleSession* pSession, QWidget* parent)
    : QDialog(parent)
    , m_pSession(pSession)
{
    setWindowTitle(tr("Keys and approval"));
    connect(m_pSession, SIGNAL(DecisionSaid(qint64, QString)), this, SLOT(ShowDecision(qint64, QString)));
}

// Its widgets wait for the first opening, which most runs never reach: the
// window comes up sooner without them.
void KeysDialog::Build()
{
    if (m_pState)
        return;
    m_pName = new QLineEdit;
    m_pFunction = new QLineEdit;
    m_pNewPassphrase = Passphrase();
    m_pRepeated = Passphrase();
    m_pEntry = new QPlainTextEdit;
    m_pKeyring = new QLabel;
    m_pRecord = new QSpinBox;
    m_pReviewer = new QComboBox;
    m_pPassphrase = Passphrase();
    m_pReason = new QLineEdit;
    m_pState = new QLabel;
    m_pEntry->setReadOnly(true);
    m_pEntry->setMaximumHeight(90);
    m_pRecord->setRange(1, 2000000000);
    m_pState->setWordWrap(true);
    m_pKeyring->setWordWrap(true);

    auto* create = new QGroupBox(tr("A key of your own"));
    auto* createForm = new QFormLayout(create);
    createForm->addRow(tr("Name"), m_pName);
    createForm->addRow(tr("Function"), m_pFunction);
    createForm->addRow(tr("Passphrase"), m_pNewPassphrase);
    createForm->addRow(tr("Passphrase again"), m_pRepeated);
    auto* createButton = new QPushButton(tr("Create key"));
    createForm->addRow(createButton);
    createForm->addRow(tr("For the keyring"), m_pEntry);

    auto* trust = new QGroupBox(tr("The laboratory's keyring"));
    auto* trustLayout = new QVBoxLayout(trust);
    auto* trustButton = new QPushButton(tr("Trust keyring..."));
    trustLayout->addWidget(m_pKeyring);
    trustLayout->addWidget(trustButton);

    auto* decide = new QGroupBox(tr("Approve a calibration"));
    auto* decideForm = new QFormLayout(decide);
    decideForm->addRow(tr("Record"), m_pRecord);
    decideForm->addRow(tr("Your key"), m_pReviewer);
    decideForm->addRow(tr("Passphrase"), m_pPassphrase);
    decideForm->addRow(tr("Reason for a rejection"), m_pReason);
    auto* approveButton = new QPushButton(tr("Approve"));
    auto* rejectButton = new QPushButton(tr("Reject"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(approveButton);
    buttons->addWidget(rejectButton);
    decideForm->addRow(buttons);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(create);
    layout->addWidget(trust);
    layout->addWidget(decide);
    layout->addWidget(m_pState);
    layout->addWidget(close);

    connect(createButton, SIGNAL(clicked()), this, SLOT(CreateKey()));
    connect(trustButton, SIGNAL(clicked()), this, SLOT(TrustKeyring()));
    connect(approveButton, SIGNAL(clicked()), this, SLOT(Approve()));
    connect(rejectButton, SIGNAL(clicked()), this, SLOT(Reject()));
    connect(close, SIGNAL(rejected()), this, SLOT(reject()));
}

void KeysDialog::open()
{
    Build();
    ShowKeys();
    m_pRecord->setValue(int(qMin<qint64>(m_pSession->NewestRecord(), m_pRecord->maximum())));
    QDialog::open();
}

void KeysDialog::ShowKeys()
{
    m_pReviewer->clear();
    for (const QString& file : KeyFiles())
        m_pReviewer->addItem(QFileInfo(file).completeBaseName(), QDir(SigningKey::Folder()).filePath(file));
    Keyring keyring;
    const QString path = m_pSession->KeyringPath();
    const QString why = QFileInfo::exists(path) ? keyring.Load(path) : QString();
    if (!why.isEmpty())
        m_pKeyring->setText(tr("The keyring cannot be read: %1").arg(why));
    else if (keyring.IsEmpty())
        m_pKeyring->setText(tr("No keyring is trusted: certificates are issued without approval."));
    else
        m_pKeyring->setText(tr("%n keys are trusted; calibrations are approved before issue.", nullptr,
                               keyring.Keys().size()));
}

void KeysDialog::Say(const QString& text)
{
    m_pState->setText(text);
}

void KeysDialog::CreateKey()
{
    if (m_pNewPassphrase->text() != m_pRepeated->text()) {
        Say(tr("The passphrases differ."));
        return;
    }
    QString file = m_pName->text().trimmed().toLower();
    file.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    const QString path = QDir(SigningKey::Folder()).filePath(file + QStringLiteral(".key"));
    QString why = SigningKey::Create(path, m_pName->text(), m_pFunction->text(), m_pNewPassphrase->text());
    SigningKey key;
    if (why.isEmpty())
        why = key.Load(path);
    m_pNewPassphrase->clear();
    m_pRepeated->clear();
    if (!why.isEmpty()) {
        Say(tr("No key was created: %1").arg(why));
        return;
    }
    Keyring entry;
    Keyring::Key trusted;
    trusted.name = key.Name();
    trusted.function = key.Function();
    trusted.publicKey = key.PublicKey();
    trusted.from = QDate::currentDate();
    trusted.until = trusted.from.addYears(2);
    entry.Add(trusted);
    m_pEntry->setPlainText(QString::fromUtf8(entry.Text()));
    Say(tr("Key of %1 created, fingerprint %2. Give the quality manager the entry above for the keyring.")
            .arg(key.Name(), key.Fingerprint()));
    ShowKeys();
}

// The keyring trusted before is kept beside, under its date.
void KeysDialog::TrustKeyring()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Trust keyring"), QString(),
                                                        tr("Keyrings (*.json)"));
    if (chosen.isEmpty())
        return;
    Keyring keyring;
    const QString why = keyring.Load(chosen);
    if (!why.isEmpty()) {
        Say(tr("The keyring is not trusted: %1").arg(why));
        return;
    }
    const QString path = m_pSession->KeyringPath();
    if (QFileInfo::exists(path)
        && !QFile::rename(path, QFileInfo(path).absoluteDir().filePath(
                                    QStringLiteral("keyring-%1.json")
                                        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))))) {
        Say(tr("The keyring trusted until now cannot be kept aside; nothing was changed."));
        return;
    }
    QSaveFile file(path);
    const QByteArray text = keyring.Text();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Say(tr("The keyring cannot be written: %1").arg(file.errorString()));
        return;
    }
    Say(tr("Keyring trusted."));
    ShowKeys();
}

void KeysDialog::Approve()
{
    Decide(true);
}

void KeysDialog::Reject()
{
    Decide(false);
}

void KeysDialog::Decide(bool approve)
{
    auto key = std::make_shared<SigningKey>();
    QString why = m_pReviewer->currentData().toString().isEmpty() ? tr("You have no key here yet.")
                                                                  : key->Load(m_pReviewer->currentData().toString());
    if (why.isEmpty())
        why = key->Unlock(m_pPassphrase->text());
    m_pPassphrase->clear();
    if (why.isEmpty())
        why = m_pSession->Decide(m_pRecord->value(), key, approve, m_pReason->text());
    if (!why.isEmpty())
        Say(tr("Not done: %1").arg(why));
}

// Told as it is written, the dialog open or closed; before its first
// opening there is nowhere to tell it.
void KeysDialog::ShowDecision(qint64 /*record*/, const QString& text)
{
    if (m_pState)
        Say(text);
}

bool KeysDialog::AskPerformer(QWidget* parent, std::shared_ptr<const SigningKey>* pKey)
{
    pKey->reset();
    const QStringList files = KeyFiles();
    if (files.isEmpty())
        return true;
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).completeBaseName();
    bool given = false;
    const QString name = QInputDialog::getItem(parent, tr("Sign the calibration"), tr("Performed by"), names, 0, false,
                                               &given);
    if (!given)
        return false;
    const QString passphrase = QInputDialog::getText(parent, tr("Sign the calibration"), tr("Passphrase"),
                                                     QLineEdit::Password, QString(), &given);
    if (!given)
        return false;
    auto key = std::make_shared<SigningKey>();
    QString why = key->Load(QDir(SigningKey::Folder()).filePath(files.value(names.indexOf(name))));
    if (why.isEmpty())
        why = key->Unlock(passphrase);
    if (!why.isEmpty()) {
        QMessageBox::warning(parent, tr("Sign the calibration"), tr("The calibration is not finished: %1").arg(why));
        return false;
    }
    *pKey = key;
    return true;
}
