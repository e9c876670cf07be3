#include "support/ModelFakes.h"

namespace rk::test {

// ---- ManualTicks ------------------------------------------------------------------

namespace {

class ManualTicker final : public Ticker {
public:
    explicit ManualTicker(std::shared_ptr<bool> alive) : alive_(std::move(alive)) {}
    ~ManualTicker() override { *alive_ = false; }

private:
    std::shared_ptr<bool> alive_;
};

}  // namespace

std::unique_ptr<Ticker> ManualTicks::every(double seconds, std::function<void()> beat) {
    auto entry = std::make_shared<Entry>(Entry{seconds, std::move(beat), true});
    entries_.push_back(entry);
    // The ticker shares the entry's flag only, so either may go first.
    return std::make_unique<ManualTicker>(std::shared_ptr<bool>(entry, &entry->alive));
}

int ManualTicks::running() const {
    return int(std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e->alive; }));
}

void ManualTicks::fire() {
    const auto entries = entries_;  // a beat may start another timer
    for (const auto& e : entries) {
        if (e->alive)
            e->beat();
    }
}

// ---- ManualQueue ------------------------------------------------------------------

void ManualQueue::async(std::function<void()> work, QObject* context, std::function<void()> deliver) {
    jobs_.append(Job{std::move(work), context, std::move(deliver)});
}

int ManualQueue::pending() const {
    return int(std::count_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return !j.delivered; }));
}

void ManualQueue::work(qsizetype i) {
    if (jobs_[i].worked)
        return;
    jobs_[i].worked = true;
    const auto work = jobs_[i].work;  // the list may grow while it runs
    work();
}

void ManualQueue::deliver(qsizetype i) {
    work(i);
    if (jobs_[i].delivered)
        return;
    jobs_[i].delivered = true;
    if (!jobs_[i].context)
        return;
    const auto deliver = jobs_[i].deliver;
    deliver();
}

int ManualQueue::drain() {
    int ran = 0;
    for (qsizetype i = 0; i < jobs_.size(); ++i) {
        if (!jobs_[i].delivered) {
            deliver(i);
            ++ran;
        }
    }
    return ran;
}

// ---- ModelWorld ---------------------------------------------------------------------

TccDbRow accessibilityRow(const QString& client, qint64 clientType) {
    return TccDbRow{client, clientType, QStringLiteral("kTCCServiceAccessibility"), 2};
}

ArchivedItem agentItem(const QString& name, const QString& label, const QString& plist, bool enabled,
                       const QString& program) {
    ArchivedItem item;
    item.name = name;
    item.type = 0x8;  // a launch agent
    item.disposition = enabled ? 0x1 : 0x0;
    item.url = QStringLiteral("file://") + plist;
    item.identifier = QStringLiteral("8.") + label;
    item.executablePath = program;
    item.developerName = QStringLiteral("Example Software");
    return item;
}

ModelWorld::ModelWorld() : root(QString::fromLatin1(home)) {
    counters = std::make_unique<UsageCounters>(UsageCounters::Options{root.root() + "/support", &clock});
    Stats::setCurrent(counters.get());
    ExplainDispatch::setCurrent(&explain);
    AppRegistry::setCurrent(&registry);
    settings.install();
    photo.attach(settings, 2, false);
    ScreenCapture::setCurrent(&photo);

    seams.clock = &clock;
    seams.ticks = &ticks;
    seams.ax = &ax;
    seams.capture = &capture;
    seams.background = &background;
    seams.defaultsFile = root.root() + "/defaults.ini";
    seams.hostName = QStringLiteral("Anna's Mac");
    seams.dark = [] { return false; };
    seams.placeWindow = [] {};

    writeTcc({});
    writeBtm({});
    root.makeFolder(root.paths().userLaunchAgents());
}

ModelWorld::~ModelWorld() {
    model.reset();
    ScreenCapture::setCurrent(nullptr);
    settings.uninstall();
    AppRegistry::setCurrent(nullptr);
    ExplainDispatch::setCurrent(nullptr);
    Stats::setCurrent(nullptr);
}

void ModelWorld::writeTcc(const QList<TccDbRow>& personRows) {
    TccDbWriter::write(root.disk(TCCStore::systemPath(root.paths())), {});
    TccDbWriter::write(root.disk(TCCStore::userPath(root.paths())), personRows);
}

void ModelWorld::writeBtm(const QList<ArchivedItem>& items) {
    root.writeFile(BackgroundStore::folder(root.paths()) + "/BackgroundItems-v4.btm",
                   KeyedArchiveWriter::store({ArchivedUser{QStringLiteral("501"), items}}));
}

void ModelWorld::installApp(const QString& bundleIdentifier, const QString& logicalPath) {
    root.makeFolder(logicalPath);
    registry.pathsOf[bundleIdentifier].append(logicalPath);
}

void ModelWorld::showGhostAndEditor() {
    installApp("com.vendor.Editor", "/Applications/Editor.app");
    writeTcc({accessibilityRow("com.example.Ghost"), accessibilityRow("com.vendor.Editor")});
    settings.setAccessibilityRows({{"Ghost", SimulatedIcon::blankDocument, "com.example.Ghost"},
                                   {"Editor", SimulatedIcon::colourful, "com.vendor.Editor"}});
    settings.showPage(SimulatedPage::accessibility);
    settings.setFrontmost(SimulatedSettings::settingsBundleID());
}

QMap<QString, QByteArray> ModelWorld::readStores() const {
    QMap<QString, QByteArray> bytes;
    for (const QString& path :
         {root.disk(TCCStore::systemPath(root.paths())), root.disk(TCCStore::userPath(root.paths())),
          root.disk(BackgroundStore::folder(root.paths()) + "/BackgroundItems-v4.btm")}) {
        QFile file(path);
        bytes.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return bytes;
}

QStringList ModelWorld::changedStores() const {
    QStringList changed;
    const auto now = readStores();
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (marked_.value(it.key()) != it.value())
            changed.append(it.key());
    }
    return changed;
}

AppModel& ModelWorld::startModel(std::optional<Step> step) {
    model = std::make_unique<AppModel>(seams);
    model->start();
    background.drain();
    if (step)
        model->go(*step);
    return *model;
}

void ModelWorld::settle() {
    // The photo's capture hands over to the Accessibility queue and back.
    while (ax.drain() + capture.drain() + background.drain() > 0) {
    }
}

void ModelWorld::beat() {
    ticks.fire();
    settle();
}

void ModelWorld::beatAfter(double seconds) {
    clock.advance(seconds);
    beat();
}

bool ModelWorld::onlyRowSelections() const {
    const auto writes = settings.writes();
    return settings.forbiddenWrites().isEmpty() &&
           std::all_of(writes.begin(), writes.end(),
                       [](const SimulatedAXTree::Write& w) { return w.attribute == "AXSelected"; });
}

}  // namespace rk::test
