#include "CommandLine.h"
#include "ConsoleSession.h"
#include "ConsoleLanguage.h"
#include "CalibrationRegister.h"
#include "CertificateCheck.h"
#include "Keyring.h"
#include "Log.h"
#include "RecordCopy.h"
#include "RecordServer.h"
#include "RecordStore.h"
#include "RegisterCsv.h"
#include "SetwiseDosegate.h"
#include "SignatureAudit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>

#include <cstdio>
#include <vector>

namespace {

// Without a display Qt's platform plugin aborts the program; a platform
// named by -platform or QT_QPA_PLATFORM (offscreen, for one) needs none.
bool HasDisplay(const CommandLine& options)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return options.QtArguments().contains(QStringLiteral("-platform"));
#else
    Q_UNUSED(options)
    return true;
#endif
}

int RunWindow(const CommandLine& options)
{
    // Qt reads its own options from its arguments, and keeps them: they
    // must outlive the application object.
    QList<QByteArray> arguments;
    for (const QString& argument : options.QtArguments())
        arguments << argument.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int argc = int(argv.size()) - 1;

    QApplication application(argc, argv.data());
    // Before the window: its texts are looked up as it is made.
    const ConsoleLanguage language(options.Language());
    if (language.Name() == QLatin1String(ConsoleLanguage::kChinese) && !language.HasQtCatalogue())
        LogPrint(LOG_NOTICE, "Qt's own dialogs stay English: Qt's Chinese catalogue (qtbase_zh_CN) is not installed\n");
    SetwiseDosegate window;
    window.FillConnectPage(options.Host(), options.Port());
    window.show();
    if (options.ConnectAtStart())
        QMetaObject::invokeMethod(&window, "OnConnectButtonClicked", Qt::QueuedConnection);
    return application.exec();
}

// The keyring named on the command line, else the one the console trusts;
// false, having said why, when one was named and cannot be read.
bool ReadKeyring(const CommandLine& options, Keyring* pKeyring)
{
    const QString path = options.KeyringPath().isEmpty() ? Keyring::DefaultPath() : options.KeyringPath();
    if (options.KeyringPath().isEmpty() && !QFileInfo::exists(path))
        return true;
    const QString why = pKeyring->Load(path);
    if (why.isEmpty())
        return true;
    std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(why));
    return false;
}

// Only rows signed by keys the keyring trusts pass; without a keyring the
// signatures are still checked to hold, and the output says none judged
// who signed.
int AuditSignatures(const RecordStore& store, const Keyring& keyring)
{
    const SignatureAudit audit = SignatureAudit::Of(store, keyring);
    if (!audit.read) {
        std::printf("the rows could not be read to check their signatures\n");
        return 1;
    }
    if (keyring.IsEmpty()) {
        std::printf("signatures: %lld hold, %lld bad, %lld rows unsigned; signers not judged: no keyring "
                    "(--trust-keys FILE)\n", audit.trusted + audit.untrusted, audit.bad, audit.unsigned_);
    } else {
        std::printf("rows signed by trusted keys: %lld; by keys not trusted: %lld; bad signatures: %lld; "
                    "unsigned: %lld\n", audit.trusted, audit.untrusted, audit.bad, audit.unsigned_);
    }
    for (const QString& reason : { audit.firstBad, audit.firstUntrusted, audit.firstUnsigned }) {
        if (!reason.isEmpty() && !(keyring.IsEmpty() && reason != audit.firstBad))
            std::printf("%s\n", qPrintable(reason));
    }
    return audit.bad > 0 || (!keyring.IsEmpty() && !audit.AllTrusted()) ? 1 : 0;
}

// Without the store when there is none here; against its chain when there
// is.
int VerifyCertificate(const CommandLine& options)
{
    Keyring keyring;
    if (!ReadKeyring(options, &keyring))
        return 1;
    if (keyring.IsEmpty()) {
        std::fprintf(stderr, "dosegate-console: a certificate is checked against a keyring: --trust-keys FILE\n");
        return 1;
    }
    QFile file(options.CertificatePath());
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "dosegate-console: cannot read %s: %s\n", qPrintable(options.CertificatePath()),
                     qPrintable(file.errorString()));
        return 1;
    }
    RecordStore store;
    const QString records = ConsoleSession::RecordsLocation();
    if (RecordServer::IsServer(records) || QFileInfo::exists(records))
        store.OpenExisting(records);
    const CertificateCheck check = CertificateCheck::Of(file.readAll(), keyring, &store);
    if (!check.passed) {
        std::printf("certificate refused: %s\n", qPrintable(check.reason));
        return 1;
    }
    std::printf("certificate %s verifies: performed by %s, approved by %s; the printed figures are the signed "
                "record's; %s\n", qPrintable(check.number), qPrintable(check.performer), qPrintable(check.approver),
                check.inStore ? "the record is in the store's chain" : "no store here to check the chain against");
    return 0;
}

// The record store, checked, exported or let on after a loss, without a
// window. A refusal is the command line's: exit 2, before anything opens.
// Where the window would keep them: --records, else the records tab's
// choice.
int RecordsCommand(const CommandLine& options)
{
    const QString path = ConsoleSession::RecordsLocation();
    const bool exporting = options.GetAction() == CommandLine::ExportRecords
        || options.GetAction() == CommandLine::ExportRegister;
    if (exporting) {
        const QString refusal = RecordStore::RefusalOf(options.ExportPath(), path, options.Force());
        if (!refusal.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: will not write: %s\n", qPrintable(refusal));
            return CommandLine::kRefusedExitCode;
        }
    }
    Keyring keyring;
    if (options.GetAction() == CommandLine::VerifyRecords && !ReadKeyring(options, &keyring))
        return 1;
    RecordStore store;
    const bool accepting = options.GetAction() == CommandLine::AcceptLoss;
    if (!(accepting && !RecordServer::IsServer(path) && QFileInfo::exists(path) ? store.Open(path, false)
                                                                                 : store.OpenExisting(path))) {
        std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(store.Error()));
        return 1;
    }
    if (accepting) {
        const QString loss = store.Loss();
        const int held = store.HeldCount();
        if (loss.isEmpty() && held == 0) {
            std::printf("no rows are missing from the end: nothing to accept\n");
            return 1;
        }
        if (!store.AcceptLoss(options.OperatorName())) {
            std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(store.Error()));
            return 1;
        }
        if (loss.isEmpty())
            std::printf("%d held rows kept\n", held);
        else
            std::printf("%s: accepted by %s; %d held rows kept after it\n", qPrintable(loss),
                        qPrintable(options.OperatorName()), held);
        return 0;
    }
    if (options.GetAction() == CommandLine::ExportRegister) {
        // The interval the records tab was last given.
        const int months = ConsoleSession::RecordField(QStringLiteral("intervalMonths"),
                                                       CalibrationRegister::kDefaultIntervalMonths)
                               .toInt();
        const QString error = RegisterCsv::Write(store, options.ExportPath(), months, QDate::currentDate());
        if (!error.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: cannot write %s: %s\n", qPrintable(options.ExportPath()),
                         qPrintable(error));
            return 1;
        }
        std::printf("register written to %s\n", qPrintable(options.ExportPath()));
        return 0;
    }
    if (exporting) {
        const QString error = store.ExportCsv(options.ExportPath());
        if (!error.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: cannot write %s: %s\n", qPrintable(options.ExportPath()),
                         qPrintable(error));
            return 1;
        }
        std::printf("%lld records written to %s\n", store.Count(), qPrintable(options.ExportPath()));
        return 0;
    }
    const RecordStore::Check check = store.Verify();
    if (!check.Intact()) {
        std::printf("%s\n", qPrintable(check.reason));
        if (store.HeldCount() > 0)
            std::printf("%d rows are held in %s; ", store.HeldCount(),
                        qPrintable(QDir::toNativeSeparators(RecordStore::HeldPath(path))));
        if (!store.Loss().isEmpty())
            std::printf("no row is kept until the loss is accepted with --accept-loss NAME\n");
        return 1;
    }
    std::printf("%lld records, chain intact\n", check.rows);
    return AuditSignatures(store, keyring);
}

} // namespace

int main(int argc, char* argv[])
{
    // Log lines go out whole and at once, also into a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DOSEGATE_VERSION));

    // Decided before any application object: only the window needs a
    // display, so a terminal without one still gets its answer.
    const CommandLine options(CommandLine::Decode(argc, argv));
    if (options.GetAction() != CommandLine::InitServer && options.GetAction() != CommandLine::CopyRecords)
        RecordStore::SetLocation(options.RecordsLocation());
    if (options.GetAction() == CommandLine::Run && HasDisplay(options))
        return RunWindow(options);
    if (options.GetAction() == CommandLine::VerifyCertificate) {
        // Its pages are laid out again, which takes fonts, not a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        return VerifyCertificate(options);
    }
    QCoreApplication application(argc, argv);
    const ConsoleLanguage language(options.Language());
    if (options.GetAction() == CommandLine::Run) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QCoreApplication::translate(
                         "CommandLine", "No display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set "
                                        "(-platform offscreen needs none).")));
        return CommandLine::kRefusedExitCode;
    }
    if (options.GetAction() == CommandLine::VerifyRecords || options.GetAction() == CommandLine::ExportRecords
        || options.GetAction() == CommandLine::ExportRegister || options.GetAction() == CommandLine::AcceptLoss)
        return RecordsCommand(options);
    if (options.GetAction() == CommandLine::CopyRecords) {
        qint64 copied = 0;
        const QString why = RecordCopy::Copy(options.CopyFrom(), options.RecordsLocation(), &copied);
        if (!why.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(why));
            return 1;
        }
        std::printf("%lld records copied from %s to %s; both chains intact\n", copied, qPrintable(options.CopyFrom()),
                    qPrintable(RecordServer::Shown(options.RecordsLocation())));
        return 0;
    }
    if (options.GetAction() == CommandLine::InitServer) {
        const QString why = RecordServer::Init(options.RecordsLocation());
        if (!why.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(why));
            return 1;
        }
        std::printf("records' tables and roles ready on %s; consoles connect as %s\n",
                    qPrintable(RecordServer::Shown(options.RecordsLocation())), RecordServer::kConsoleRole);
        return 0;
    }
    std::fputs(qPrintable(options.Message()), options.GetAction() == CommandLine::Refuse ? stderr : stdout);
    return options.ExitCode();
}
