#include "platform/services_qt.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibrary>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "platform/codepage.h"
#include "platform/help_page.h"
#include "platform/text_qt.h"

namespace egresso {
namespace {

QString fromPath(std::string_view path) { return QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size()))); }

// Result codes in the shell's custom: above 32 on success.
constexpr int kOpened = 42;
constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = 31;

// The documents a link in a text may open: text, PDF, pictures and office
// documents. Anything else (desktop entries of any name, Java Web Start,
// archives an interpreter runs, programs and scripts) is not handed on.
bool AllowedDocumentType(const QMimeType& type) {
  static const QStringList kAllowed = {
      QStringLiteral("text/plain"), QStringLiteral("text/csv"), QStringLiteral("text/markdown"),
      QStringLiteral("text/rtf"), QStringLiteral("application/rtf"), QStringLiteral("application/pdf"),
      QStringLiteral("image/png"), QStringLiteral("image/jpeg"), QStringLiteral("image/gif"),
      QStringLiteral("image/bmp"), QStringLiteral("image/tiff"), QStringLiteral("image/webp"),
      QStringLiteral("application/msword"), QStringLiteral("application/vnd.ms-excel"),
      QStringLiteral("application/vnd.ms-powerpoint"),
      QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
      QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
      QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.presentation"),
      QStringLiteral("application/vnd.oasis.opendocument.text"),
      QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"),
      QStringLiteral("application/vnd.oasis.opendocument.presentation")};
  return type.isValid() && kAllowed.contains(type.name());
}

}  // namespace

bool IsOpenableDocument(const QString& path) {
  const QMimeDatabase db;
  const QMimeType byName = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  const QMimeType byContent = db.mimeTypeForFile(path, QMimeDatabase::MatchContent);
  // A name that says nothing (no extension, or one nobody knows) leaves the
  // judgement to the content; a name of a kind the desktop would run is
  // refused whatever the content.
  const bool nameSaysNothing = byName.isDefault();
  if (!nameSaysNothing && !AllowedDocumentType(byName)) return false;
  if (AllowedDocumentType(byContent)) return true;
  // Office documents are zip archives and CSV is plain text by content:
  // the content may be the general kind the named type is made of.
  return !nameSaysNothing && byName.inherits(byContent.name());
}

namespace {

}  // namespace

LocalDateTime QtClock::now() {
  QDateTime t = QDateTime::currentDateTime();
  QDate d = t.date();
  QTime c = t.time();
  return {d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second(), c.msec()};
}

QtEventPump::QtEventPump() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

QtEventPump::~QtEventPump() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

int QtEventPump::keyCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  if (key == Qt::Key_Escape) return 27;
  if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
  if (text.isEmpty()) return 0;
  std::string c = toRecordText(text.left(1));
  return c.empty() ? 0 : static_cast<unsigned char>(c[0]);
}

bool QtEventPump::eventFilter(QObject* watched, QEvent* event) {
  // Only keys typed while waiting count; each key reaches the filter once
  // per widget it travels through, so the first one noted stands.
  if (pumping_ > 0 && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (typed_ == 0) typed_ = keyCharacter(k->key(), k->modifiers(), k->text());
    // Esc gives up the wait; the window waiting must not take it as its own
    // Esc as well (a form would go on to cancel).
    if (k->key() == Qt::Key_Escape) return true;
  }
  return QObject::eventFilter(watched, event);
}

int QtEventPump::processEvents() {
  ++pumping_;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  --pumping_;
  int c = typed_;
  typed_ = 0;
  return c;
}

void QtEventPump::sleepMs(int ms) {
  ++pumping_;
  QEventLoop loop;
  QTimer::singleShot(std::max(ms, 0), &loop, &QEventLoop::quit);
  loop.exec();
  --pumping_;
}

int QtShell::open(std::string_view target, std::string_view parameters, std::string_view folder) {
  // Nothing reaching here ever starts a program: parameters are not passed
  // on, and only web and mail addresses and plain files that are not
  // programs go to the desktop's default handler.
  (void)parameters;
  (void)folder;
  QString t = fromRecordText(target).trimmed();
  if (t.isEmpty()) return kFileNotFound;
  QUrl url;
  const QString lower = t.toLower();
  if (lower.startsWith(QStringLiteral("http://")) || lower.startsWith(QStringLiteral("https://")) ||
      lower.startsWith(QStringLiteral("mailto:"))) {
    url = QUrl(t);
  } else if (lower.startsWith(QStringLiteral("www."))) {
    url = QUrl(QStringLiteral("http://") + t);
  } else {
    QFileInfo file(fromPath(target));
    if (!file.isAbsolute() || !file.exists()) return kFileNotFound;
    file = QFileInfo(file.canonicalFilePath());
    if (!file.isFile() || file.isExecutable()) return kNoAssociation;
    if (!IsOpenableDocument(file.absoluteFilePath()) || !IsOpenableDocument(fromPath(target)))
      return kNotADocument;
    url = QUrl::fromLocalFile(file.absoluteFilePath());
  }
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https") &&
                         scheme != QStringLiteral("mailto") && scheme != QStringLiteral("file")))
    return kNoAssociation;
  return QDesktopServices::openUrl(url) ? kOpened : kNoAssociation;
}

void QtClipboard::setText(std::string_view text) {
  if (auto* c = QGuiApplication::clipboard()) c->setText(fromRecordText(text));
}

std::string QtClipboard::text() {
  auto* c = QGuiApplication::clipboard();
  return c ? toRecordText(c->text()) : std::string();
}

QtSound::QtSound(const std::string& moduleFolder)
    : moduleFolder_(moduleFolder.empty() ? QCoreApplication::applicationDirPath() : fromPath(moduleFolder)) {}

QtSound::~QtSound() {
  if (player_ != nullptr) delete_(player_);
}

bool QtSound::loadPlayer() {
  if (moduleTried_) return player_ != nullptr;
  moduleTried_ = true;
  module_ = std::make_unique<QLibrary>(moduleFolder_ + QLatin1Char('/') + QLatin1String(kSoundModuleFile));
  auto make = reinterpret_cast<SoundPlayerNew>(module_->resolve(kSoundPlayerNew));
  play_ = reinterpret_cast<SoundPlayerPlay>(module_->resolve(kSoundPlayerPlay));
  delete_ = reinterpret_cast<SoundPlayerDelete>(module_->resolve(kSoundPlayerDelete));
  if (make != nullptr && play_ != nullptr && delete_ != nullptr) player_ = make();
  return player_ != nullptr;
}

bool QtSound::play(std::string_view path) {
  const QString file = fromPath(path);
  if (!QFileInfo(file).isFile()) return false;
  return loadPlayer() && play_(player_, file);
}

void QtHelp::request(HelpCommand command, int context, std::string_view keyword) {
  std::string url = HelpPageUrl(programFolder_, command, context, keyword);
  if (!url.empty()) QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

}  // namespace egresso
