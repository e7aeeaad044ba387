#include "settings/StoredPreferences.h"

#include "platform/Scheduler.h"

#include <QPointer>
#include <QtNumeric>

#include <algorithm>
#include <limits>
#include <optional>

namespace kelvo {

namespace {

// A stored Bool. Stores that keep text (an INI file) may hand back "true"
// or "0"; anything else is no Bool.
std::optional<bool> storedBool(const PreferencesStore &store, const QString &key)
{
    const auto value = store.object(key);
    if (!value || !value->isValid())
        return std::nullopt;
    switch (value->typeId()) {
    case QMetaType::Bool:
        return value->toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value->toLongLong() != 0;
    default:
        break;
    }
    const QString text = value->toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// A stored integer; a Bool or text that is no whole number is none.
std::optional<qint64> storedInteger(const PreferencesStore &store, const QString &key)
{
    const auto value = store.object(key);
    if (!value || !value->isValid() || value->typeId() == QMetaType::Bool)
        return std::nullopt;
    bool ok = false;
    qint64 n = 0;
    if (value->typeId() == QMetaType::QString || value->typeId() == QMetaType::QByteArray)
        n = value->toString().trimmed().toLongLong(&ok);
    else if (value->typeId() == QMetaType::Double || value->typeId() == QMetaType::Float) {
        const double d = value->toDouble();
        ok = d == double(qint64(d)) && d >= -9.0e18 && d <= 9.0e18;
        n = ok ? qint64(d) : 0;
    } else
        n = value->toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

qint64 storedShortcutValue(const PreferencesStore &store, const QString &key, qint64 fallback)
{
    const auto n = storedInteger(store, key);
    if (!n || *n < 0 || *n > qint64(std::numeric_limits<quint32>::max()))
        return fallback;
    return *n;
}

} // namespace

qint64 steppedHistoryCount(qint64 current, int direction)
{
    if (direction == 0)
        return current;
    const qint64 step = direction > 0 ? kHistoryCountStep : -kHistoryCountStep;
    // Saturating: a stored value near the integer limits must not overflow.
    qint64 next = 0;
    if (qAddOverflow(current, step, &next))
        next = direction > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    next = std::clamp(next, kMinHistoryCount, kMaxHistoryCount);
    const bool moves = direction > 0 ? next > current : next < current;
    return moves ? next : current;
}

StoredPreferences::StoredPreferences(PreferencesStore &store, QObject *parent)
    : QObject(parent), store_(store)
{
    connect(&store_, &PreferencesStore::changed, this, &StoredPreferences::changed);
}

bool StoredPreferences::launchAtLogin() const
{
    return storedBool(store_, PreferenceKey::LaunchAtLogin).value_or(PreferenceDefault::LaunchAtLogin);
}

void StoredPreferences::setLaunchAtLogin(bool on) { store_.setValue(PreferenceKey::LaunchAtLogin, on); }

bool StoredPreferences::showMenuBarIcon() const
{
    return storedBool(store_, PreferenceKey::ShowMenuBarIcon).value_or(PreferenceDefault::ShowMenuBarIcon);
}

void StoredPreferences::setShowMenuBarIcon(bool on) { store_.setValue(PreferenceKey::ShowMenuBarIcon, on); }

bool StoredPreferences::capturePaused() const
{
    return storedBool(store_, PreferenceKey::CapturePaused).value_or(PreferenceDefault::CapturePaused);
}

void StoredPreferences::setCapturePaused(bool on) { store_.setValue(PreferenceKey::CapturePaused, on); }

QString StoredPreferences::language() const
{
    const auto value = store_.object(PreferenceKey::Language);
    const QString text = value && value->typeId() == QMetaType::QString ? value->toString().trimmed() : QString();
    return text.isEmpty() ? LanguageChoice::System : text;
}

void StoredPreferences::setLanguage(const QString &choice) { store_.setValue(PreferenceKey::Language, choice); }

QString StoredPreferences::applicationId(QString id)
{
    id = id.trimmed();
    if (id.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        id.chop(8);
    return id.trimmed();
}

QStringList StoredPreferences::ignoredApplications() const
{
    QStringList ids;
    if (const auto value = store_.object(PreferenceKey::IgnoredApplications))
        for (const QString &id : value->toStringList())
            if (!applicationId(id).isEmpty())
                ids.append(applicationId(id));
    return ids;
}

bool StoredPreferences::ignoreApplication(const QString &id)
{
    const QString name = applicationId(id);
    QStringList ids = ignoredApplications();
    if (name.isEmpty() || ids.contains(name, Qt::CaseInsensitive))
        return false;
    ids.append(name);
    store_.setValue(PreferenceKey::IgnoredApplications, ids);
    return true;
}

bool StoredPreferences::unignoreApplication(const QString &id)
{
    QStringList ids = ignoredApplications();
    const QString name = applicationId(id);
    const qsizetype before = ids.size();
    ids.removeIf([&](const QString &known) { return known.compare(name, Qt::CaseInsensitive) == 0; });
    if (ids.size() == before)
        return false;
    store_.setValue(PreferenceKey::IgnoredApplications, ids);
    return true;
}

qint64 StoredPreferences::hotkeyCode() const
{
    return storedShortcutValue(store_, PreferenceKey::HotkeyCode, PreferenceDefault::HotkeyCode);
}

qint64 StoredPreferences::hotkeyModifiers() const
{
    return storedShortcutValue(store_, PreferenceKey::HotkeyModifiers, PreferenceDefault::HotkeyModifiers);
}

void StoredPreferences::setHotkey(qint64 code, qint64 modifiers)
{
    store_.setValue(PreferenceKey::HotkeyCode, code);
    store_.setValue(PreferenceKey::HotkeyModifiers, modifiers);
}

qint64 StoredPreferences::maxHistoryCount() const
{
    const auto n = storedInteger(store_, PreferenceKey::MaxHistoryCount);
    if (!n || *n <= 0)
        return PreferenceDefault::MaxHistoryCount;
    return *n;
}

void StoredPreferences::setMaxHistoryCount(qint64 count) { store_.setValue(PreferenceKey::MaxHistoryCount, count); }

// ---- debounced subscription ------------------------------------------------

DebouncedPreferenceSubscriber::DebouncedPreferenceSubscriber(PreferencesStore &store, MainLoop &mainLoop,
                                                             int delayMs, std::function<void()> action,
                                                             QObject *parent)
    : QObject(parent), mainLoop_(mainLoop), delayMs_(delayMs), action_(std::move(action))
{
    connect(&store, &PreferencesStore::changed, this, &DebouncedPreferenceSubscriber::storeChanged);
}

DebouncedPreferenceSubscriber::~DebouncedPreferenceSubscriber()
{
    if (pending_)
        pending_->cancel();
}

void DebouncedPreferenceSubscriber::storeChanged()
{
    if (pending_)
        pending_->cancel();
    QPointer<DebouncedPreferenceSubscriber> self(this);
    pending_ = mainLoop_.after(delayMs_, [self] {
        if (!self)
            return;
        self->pending_.reset();
        // The action may destroy this subscriber: run a copy of it, and
        // touch nothing of the subscriber afterwards.
        const std::function<void()> action = self->action_;
        if (action)
            action();
    });
}

} // namespace kelvo
