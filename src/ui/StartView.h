#pragma once
// The Start page: what the app does, what it found without any permission
// (launchd jobs whose program is gone), the three permissions, and the ways
// into the two System Settings steps.

#include <QList>

#include "app/model/Step.h"
#include "finder/LaunchdScan.h"
#include "platform/SystemPaths.h"
#include "ui/ModelPage.h"
#include "ui/StartRows.h"

namespace rk {

class StartView : public ModelPage {
    Q_OBJECT
public:
    StartView(AppModel& m, bool dark, QWidget* parent = nullptr);

    // The jobs whose program is gone, in the model's order; a job without a
    // program counts as present.
    static QList<LaunchJob> gone(const QList<LaunchJob>& jobs,
                                 const SystemPaths& paths = SystemPaths::current());
    // "Show it", "Show them", "Hide it" or "Hide them": the count of all jobs decides.
    static QString showTitle(int jobs, bool open);
    static QString jobLine(const LaunchJob& job, const SystemPaths& paths = SystemPaths::current());
    // "Review permissions" once Full Disk Access and Accessibility are both on.
    static QString permissionTitle(const Grants& grants);

    bool showsJobs() const { return showJobs_; }
    void takeToggles(const ModelPage& earlier) override;

protected:
    void build(QVBoxLayout* body) override;

private:
    QWidget* findingsCard();
    QWidget* permissionsCard();
    QLayout* startRow();

    bool showJobs_ = false;
};

}  // namespace rk
