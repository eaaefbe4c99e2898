// The smart-uninstall page: the user names a program, the analyzer lists its
// traces as checked rows, and the checked ones are removed.
#pragma once
#include "framework/ImageList.h"
#include "framework/ListCtrl.h"
#include "framework/Static.h"
#include "smart/TraceAnalyzer.h"
#include "ui/DropFileEdit.h"
#include "ui/Page.h"
#include "ui/PageButton.h"
#include "ui/TraceDescriptions.h"

#include <string>
#include <vector>

class CSmartUninstallPage : public CPage, private CRowChecks, protected TraceSink {
public:
    CSmartUninstallPage();
    ~CSmartUninstallPage() override;

    bool IsAnalyzing() const { return analyzing; }
    // Picks the product's folders from its entry's texts, before its uninstaller runs.
    void NoteUninstallClues(UninstallClues* clues);
    // Lists what an uninstaller left of the product (its first folder shown as the
    // target), as after an analysis; the status says when nothing is left.
    void AnalyzeLeftovers(const UninstallClues& clues);
    // Analyses a registered product's folder, as NoteUninstallClues picks it from its
    // entry's texts (the first one), as if the user had named it.
    void AnalyzeProduct(UninstallClues clues);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    bool OnClicked(UINT id) override;

    // Opens the file dialog of a browse button; false when id is no browse button.
    bool OnBrowse(UINT id);
    void OnStartAnalysis();
    void OnUninstall();
    bool OnListNotify(NMHDR* header, LRESULT* result) override;
    // The analyzer's reports: a new trace becomes the next row; while it searches,
    // the page's messages keep flowing.
    void OnTrace(const TraceItem& item) override;
    void KeepResponsive() override;

    // Opens the file-open dialog in startFolder; the chosen path goes to the target field.
    virtual void PickTarget(const char* startFolder, const char* filter);

    CEdit statusEdit;
    CDropFileEdit targetEdit;
    CCheckListCtrl resultList;
    CPageButton analyzeButton;
    CPageButton uninstallButton;
    CPageButton desktopShortcutButton;
    CPageButton startMenuButton;
    CPageButton programButton;
    CImageList traceImages;
    CTraceAnalyzer analyzer;

private:
    // Disables what could re-enter the analyzer while it drains the message queue.
    void BeginAnalysis();
    void EndAnalysis();
    void NotifyParentOfAnalysis(BOOL running);
    static std::string RemovalSummary(const RemovalTally& tally);
    static std::string ProgramName(const char* target);

    // The list holds no rows of its own (owner data): row n is the analyzer's trace n,
    // its check and its description (looked up when the row is first drawn) are here.
    struct TraceRow {
        bool checked;
        bool described;
        std::string description;
    };
    void OnGetRowInfo(LVITEMA* item) override;
    const std::string& RowDescription(size_t row);
    // Clicks on a check box and the space bar tick or untick rows, as in any list.
    void OnRowClick(const NMITEMACTIVATE* click);
    void OnSpaceBar();
    void SetRowChecked(int row, bool checked);
    // The list's state message for the checks: one row, or every row for -1.
    bool SetRowCheck(int row, bool checked) override;
    void ClearRows();
    // While an analysis runs the list learns its new length about every 50 ms until
    // its visible rows are filled, then once a second.
    void ShowRowCount();
    bool RowCountDue();
    // The status line follows the analysis about every 50 ms, and at its end.
    void ShowStatus(const std::string& text);
    void FlushStatus();

    bool analyzing = false;
    std::string analyzedProgram;
    std::vector<TraceRow> rows;
    // Texts handed to the list stay valid for two more requests.
    std::string rowTexts[3];
    size_t nextRowText = 0;
    DWORD lastRowCountTick = 0;
    DWORD lastFillCheckTick = 0;  // when the list was last asked whether its view is full
    DWORD lastStatusTick = 0;
    bool statusPending = false;
    std::string pendingStatus;
    CTraceDescriptions descriptions;
    // The buttons that could re-enter the analyzer, and their states before it ran.
    static const int kGuardedCount = 5;
    CWnd* GuardedControl(int index);
    BOOL savedEnabled[kGuardedCount] = {};
};
