#pragma once
// The Move-In step's page: why it is there (the Mac this one was set up
// from), and the rows to reconnect, checked live and kept in step with the
// person's marks. It builds its own reconnect model afresh whenever the
// model's Move-In epoch changes (each visit of the step), and shows made-up
// rows in demo mode.

#include <QList>
#include <QString>
#include <memory>

#include "movein/MoveIn.h"
#include "movein/ReconnectModel.h"
#include "permissions/Permission.h"
#include "ui/ModelPage.h"

namespace rk {

class KTReconnectView;

class MoveInPage : public ModelPage {
    Q_OBJECT
public:
    // Where the page's rows come from; the defaults are the app's own.
    struct Sources {
        QString listPath = MoveIn::listURL();
        QString marksPath = MoveIn::marksURL();
        // Empty: the permissions the wizard was configured with.
        std::optional<QList<KTPermission>> permissions{};
        KTReconnectModel::Executor executor{};
    };

    MoveInPage(AppModel& m, bool dark, QWidget* parent = nullptr);
    MoveInPage(AppModel& m, bool dark, Sources sources, QWidget* parent = nullptr);
    ~MoveInPage() override;

    KTReconnectModel& reconnect() const { return *reconnect_; }
    // The sentence under the title.
    static QString lead(const std::optional<QString>& movedFrom);
    // Where a checklist of one's own goes, the home folder written "~". The
    // path may break onto the next line only after a "/": invisible marks
    // keep each folder's name whole and allow the break after its "/".
    static QString listHint(const QString& listPath, const SystemPaths& paths = SystemPaths::current());
    // The text without those marks: what the person copies from the hint.
    static QString withoutBreakMarks(QString text);

protected:
    void build(QVBoxLayout* body) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void reload();

    Sources sources_;
    bool listHasRows_ = false;
    std::shared_ptr<KTReconnectModel> reconnect_;
};

}  // namespace rk
