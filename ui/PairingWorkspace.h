#pragma once

// The pairing workspace: the previous scan (the last batch of fronts) beside the new preview
// of the same prints turned over, with a coloured cord from each front to its back. Hovering a
// previous photo traces its link, the all-links toggle shows every link, and dragging a cord
// from a previous photo onto a back links the two. A link started on the bed with
// "Link to front…" is finished by clicking a previous photo.
//
// Positions shared between the parts (the frames both halves report, the pointer, the cords)
// are in this widget's own coordinates. The overlays that draw the cords take no mouse input;
// the pointer over the embedded bed is followed through an event filter on the bed and its
// children, and a cord dragged from the previous scan stays with that view (the mouse grab)
// until it is released, wherever the pointer goes.

#include "core/AppModel.h"
#include "ui/PairFrame.h"
#include "ui/PairingRules.h"
#include "ui/PreviousBedView.h"

#include <QWidget>

#include <optional>

class ConnectorsView;
class LinkCordView;
class PairingHeader;

class BedView;

class PairingWorkspace : public QWidget {
    Q_OBJECT

public:
    explicit PairingWorkspace(AppModel& model, QWidget* parent = nullptr);

    // Every region's planned stem, computed once by the window for all views.
    void setPlan(const AppModel::StemMap& plan);

    bool showAllLinks() const { return showAllLinks_; }
    // What the embedded bed shows: the pair colour of each back, and the back a dragged cord
    // or a pending link's pointer is over.
    const RegionColors& pairColorIndex() const { return pairColorIndex_; }
    std::optional<QUuid> linkTargetID() const { return linkTargetID_; }

    const PairFrames& currentFrames() const { return currentFrames_; }
    const PrevFrames& prevFrames() const { return prevFrames_; }
    const PairingPointer& pointer() const { return pointer_; }

public slots:
    // Where the embedded bed draws each region, in this widget's coordinates.
    void setCurrentFrames(const PairFrames& frames);
    // Shows every link at once (or only the hovered one), and remembers the choice.
    void setShowAllLinks(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeBed();
    void watchPointer(QWidget* widget);
    void onModelChanged(AppModel::Property property);
    void refreshScan();
    void refreshPairs();
    void refreshBed();
    void refreshLinks(bool fade = false);
    void setPrevFrames(const PrevFrames& frames);
    void setPointer(const PairingPointer& pointer);
    void drop(const LinkDrag& drag);
    void pickPrevious(const std::optional<QString>& base);

    AppModel& model_;
    AppModel::StemMap plan_;
    bool showAllLinks_ = false;

    // Derived from the model each time it changes.
    std::vector<ScanRecord> records_;
    ColorByBase colorByBase_;
    RegionColors pairColorIndex_;
    PairMap pairMap_;

    // View state.
    PairFrames currentFrames_;
    PrevFrames prevFrames_;
    PairingPointer pointer_;
    std::optional<QUuid> linkTargetID_;

    PairingHeader* header_;
    QWidget* workArea_;
    PreviousBedView* previous_;
    QWidget* bedArea_;
    QWidget* bed_;
    BedView* bedView_ = nullptr;
    ConnectorsView* connectors_;
    LinkCordView* cord_;
};
