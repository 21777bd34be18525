#pragma once

// AppModel: the one object that holds the window's state and carries out every user
// operation. It lives on the main thread; all of its state is read and written there.
//
// Every published property has a getter and a setter; each set emits changed(property) on
// the main thread, and views redraw from the new values. Long flows are coroutines on the
// main thread that suspend on the engine. The operations are split into files by concern:
//   AppModel.cpp          state, start-up, scanner choice, resolutions
//   AppModelEditing.cpp   drawing, selecting, flipping and deleting regions
//   AppModelState.cpp     the output folder's state files and preferences
//   AppModelPreview.cpp   preview, warm-up and relink: the flows that connect and take overviews
//   AppModelNaming.cpp    the file stem each region will be saved under
//   AppModelPairing.cpp   which front each back belongs to
//   AppModelLinking.cpp   setting back targets, and the two-click link gesture
//   AppModelScan.cpp      the master scan and the files cut out of it
//   AppModelDetect.cpp    Auto-detect: photos on fronts, handwriting on backs

#include "core/FolderIndex.h"
#include "model/DrawSide.h"
#include "model/PendingLink.h"
#include "model/Preferences.h"
#include "model/ScanRecord.h"
#include "model/ScanRegion.h"
#include "model/ScanSettings.h"
#include "scanner/ScannerEngine.h"

#include <QCoroTask>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

class QLockFile;

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct AppModelOptions {
    // The user's own store when not given.
    std::shared_ptr<Preferences> preferences;
    // restoreOutputDir() when not given.
    std::optional<QString> outputDir;
    // Quiet time after the last change of the regions or the base name before they are saved.
    std::chrono::milliseconds saveDebounce{400};
};

class AppModel : public QObject {
    Q_OBJECT

public:
    enum class Property {
        status, info, scanners, activeScannerID, overview, busy, scannerBusy, regions, selectedID,
        pendingLink, drawSide, dpi, colorMode, baseName, outputDir, lastSaved, backSuffix, history,
        pairingMode, prevOverview, prevBedSize,
    };
    Q_ENUM(Property)

    // The resolutions offered when the scanner reports none (or too few that fit).
    static const std::vector<int> resolutionPresets;

    // Runs the start-up sequence: callbacks, output folder, migration, history, session,
    // previous scan, stored base name, then the debounced saves.
    explicit AppModel(std::unique_ptr<ScannerEngine> engine, AppModelOptions options = {},
                      QObject* parent = nullptr);
    // The same over the system's scanners: SANE's, and the virtual flatbed when
    // BIVARA_VIRTUAL_SCANNER is set.
    explicit AppModel(AppModelOptions options = {}, QObject* parent = nullptr);
    ~AppModel() override;

    ScannerEngine& engine() const { return *engine_; }
    Preferences& preferences() const { return *preferences_; }

    // Set by the window: takes keyboard focus away from text fields, so that Delete, Space
    // and Escape reach the window's key handling after a selection.
    std::function<void()> releaseKeyboardFocus;

    // ---- published state -------------------------------------------------------------
    const QString& status() const { return status_; }
    const std::optional<ScannerInfo>& info() const { return info_; }
    const std::vector<ScannerChoice>& scanners() const { return scanners_; }
    const std::optional<QString>& activeScannerID() const { return activeScannerID_; }
    const QImage& overview() const { return overview_; }  // null: no preview yet
    bool busy() const { return busy_; }
    bool scannerBusy() const { return scannerBusy_; }
    const std::vector<ScanRegion>& regions() const { return regions_; }
    const std::optional<QUuid>& selectedID() const { return selectedID_; }
    const std::optional<PendingLink>& pendingLink() const { return pendingLink_; }
    DrawSide drawSide() const { return drawSide_; }
    int dpi() const { return dpi_; }
    ColorMode colorMode() const { return colorMode_; }
    const QString& baseName() const { return baseName_; }
    const QString& outputDir() const { return outputDir_; }
    const std::vector<QString>& lastSaved() const { return lastSaved_; }
    const QString& backSuffix() const { return backSuffix_; }
    const std::vector<ScanRecord>& history() const { return history_; }
    bool pairingMode() const { return pairingMode_; }
    const QImage& prevOverview() const { return prevOverview_; }  // null: none
    const std::optional<QSizeF>& prevBedSize() const { return prevBedSize_; }

    void setStatus(const QString& v);
    void setInfo(const std::optional<ScannerInfo>& v);  // also clamps dpi to the new options
    void setScanners(const std::vector<ScannerChoice>& v);
    void setActiveScannerID(const std::optional<QString>& v);
    void setOverview(const QImage& v);
    void setBusy(bool v);
    void setScannerBusy(bool v);
    void setRegions(const std::vector<ScanRegion>& v);
    void setSelectedID(const std::optional<QUuid>& v);
    void setPendingLink(const std::optional<PendingLink>& v);
    void setDrawSide(DrawSide v);
    void setDpi(int v);
    void setColorMode(ColorMode v);
    void setBaseName(const QString& v);
    void setOutputDir(const QString& v);
    void setLastSaved(const std::vector<QString>& v);
    void setBackSuffix(const QString& v);
    void setHistory(const std::vector<ScanRecord>& v);
    void setPairingMode(bool v);
    void setPrevOverview(const QImage& v);
    void setPrevBedSize(const std::optional<QSizeF>& v);

    // ---- scanner choice and resolutions -----------------------------------------------
    // Nothing runs and no preview has been taken yet.
    bool idleAtRest() const;
    std::vector<int> resolutionOptions() const;
    void clampDPIToOptions();
    void switchScanner(const QString& id);
    void scannersDidChange();

    // ---- region editing ---------------------------------------------------------------
    std::optional<ScanRegion> region(const QUuid& id) const;
    std::optional<ScanRegion> selectedRegion() const;
    void selectRegion(const std::optional<QUuid>& id);
    void addRegion(const QRectF& rect);
    void removeRegion(const QUuid& id);
    void flipRegion(const QUuid& id);
    void flipSpace();

    // ---- output naming ----------------------------------------------------------------
    using StemMap = QHash<QUuid, QString>;  // region id -> stem (or front base)

    // Forbidden name characters become "-", spaces and tabs are trimmed; "scan" when empty.
    static QString sanitize(const QString& name);
    // The back suffix without forbidden characters; "_b" when that leaves nothing.
    QString suffixOrDefault() const;
    // The first index not yet used by a "<base>_<digits>" file in the output folder.
    std::int64_t nextIndex(const QString& base) const;
    // Every region's stem: fronts numbered in list order, then backs named after their front
    // plus the suffix (or numbered on their own when they pair with nothing). Stems are
    // unique within the plan: a repeat gets "-2", "-3", … in list order.
    StemMap plannedStems() const;
    // Back id -> base name of the front it will be paired with, for the backs that pair.
    StemMap backFrontStems() const;
    // "<base>_<index, at least four digits>".
    static QString numberedStem(const QString& base, std::int64_t index);

    // ---- back pairing -----------------------------------------------------------------
    // Back id -> base of its front: explicit targets first, then automatic backs greedily
    // to the nearest unclaimed front of the latest batch or of the current bed.
    StemMap backBases(const StemMap& activeFrontStems) const;
    // The history records of the latest batch (the largest session), in history order.
    std::vector<ScanRecord> previousScanRecords() const;
    // Base -> position of its record in reading order (rows within an inch, left to right).
    QHash<QString, int> previousColorIndexByBase() const;
    bool canPair() const;
    void setPairing(bool on);
    void ensureAllBacks();
    void markAllBacks(bool backs);
    void setBack(const QUuid& id, const std::optional<BackTarget>& target);
    void pair(const QUuid& back, const QUuid& front);
    void linkBack(const QUuid& back, const QString& toFront);

    // ---- the link gesture -------------------------------------------------------------
    void startLink(const QUuid& id, bool wantFront);
    void completePendingLink(const QUuid& targetID);
    void completePendingLinkToHistory(const QString& base);
    void cancelLink();

    // ---- the output folder's state ----------------------------------------------------
    // Each save returns the names of the files it could not write (none when all went).
    // Nothing is written into a folder whose lock another process holds.
    void loadHistory();
    QStringList saveHistory();
    void loadSession();
    QStringList saveSession();
    void loadPrevScan();
    QStringList savePrevScan();
    void migrateLegacyDotfiles();
    // Takes the output folder's lock unless this model holds it already; false while another
    // process (or model) works in the folder, or when no lock can be made there. Taken
    // after start-up, it first re-reads the history and previous scan, which the other
    // process may have changed.
    bool holdOutputFolder();
    static inline const QString folderInUseText = QStringLiteral("Another Bivara Scanner is using this folder.");
    // Saves the session into the current folder, then works in `folder`: remembers it,
    // migrates its legacy files and reads its history, session and previous scan.
    void switchOutputDir(const QString& folder);
    // The stored output folder when it still exists, else Pictures / "Bivara Scanner".
    static QString restoreOutputDir(const Preferences& preferences);
    // Writes at once what the debounce is still holding back (the session, the base name),
    // so that nothing is lost when the window closes within the quiet time of an edit.
    void flushPendingSaves();

    // ---- flows ------------------------------------------------------------------------
    // Each returns at once and goes on as a coroutine on the main thread; the returned task
    // may be awaited (tests do) or dropped.

    // Connects when needed, takes the overview and shows it as soon as it is in memory.
    QCoro::Task<> preview();
    // Connects in the background when the window is first shown.
    QCoro::Task<> warmUp();
    // Reconnects after the active scanner changed; drops the overview when the new bed
    // differs from `previousBed`.
    QCoro::Task<> relink(std::optional<QSizeF> previousBed);
    // Finds photos (front side) or handwritten notes (back side) on the overview and
    // replaces the regions with them.
    QCoro::Task<> autoDetect();
    // Scans the area holding every region once, cuts each region out upright and saves it
    // under its planned stem; remembers the fronts in the history.
    QCoro::Task<> scanSelected();

    // ---- files --------------------------------------------------------------------------
    // Asks for another output folder (a folder chooser) and switches to it.
    void chooseOutput();
    // The folder chooser: the chosen folder, or nothing when cancelled. The window sets a
    // modal dialog; without one, choosing does nothing.
    std::function<std::optional<QString>(const QString& current)> chooseFolder;
    // The newest saved fronts whose files still exist, leaving out `excluding` (by stem).
    std::vector<QString> recentHistory(const std::vector<QString>& excluding, int limit = 24) const;

signals:
    void changed(AppModel::Property property);

private:
    template <class T>
    void publish(T& field, const T& value, Property property)
    {
        field = value;
        emit changed(property);
    }
    void startDebouncedSaves(std::chrono::milliseconds quiet);
    void saveBaseName();
    // Works in `outputDir_`: takes its lock, tidies and migrates it when that succeeds, says
    // so when it does not, and reads its state.
    void openOutputFolder();
    // The lock alone; `folderInUse_` tells whether another holder was the reason it failed.
    bool takeFolderLock();

    std::unique_ptr<ScannerEngine> engine_;
    std::shared_ptr<Preferences> preferences_;

    QString status_ = QStringLiteral("Searching for scanner…");
    std::optional<ScannerInfo> info_;
    std::vector<ScannerChoice> scanners_;
    std::optional<QString> activeScannerID_;
    QImage overview_;
    bool busy_ = false;
    bool scannerBusy_ = false;
    std::vector<ScanRegion> regions_;
    std::optional<QUuid> selectedID_;
    std::optional<PendingLink> pendingLink_;
    DrawSide drawSide_ = DrawSide::front;
    int dpi_ = 600;
    ColorMode colorMode_ = ColorMode::color;
    QString baseName_ = QStringLiteral("scan");
    QString outputDir_;
    std::vector<QString> lastSaved_;
    QString backSuffix_ = QStringLiteral("_b");
    std::vector<ScanRecord> history_;
    bool pairingMode_ = false;
    QImage prevOverview_;
    std::optional<QSizeF> prevBedSize_;

    std::unique_ptr<QLockFile> folderLock_;  // held on `outputDir_` while we work in it
    bool folderInUse_ = false;               // the last attempt found the lock held elsewhere
    mutable FolderIndex folderIndex_;  // a listing of the output folder, kept while current
    QTimer sessionSaveTimer_;
    QTimer baseNameSaveTimer_;
};
