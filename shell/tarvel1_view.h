#pragma once
// The converter form: the key and mode boxes, the convert button and the player's START and
// STOP/CONTINUE buttons. A new or opened song is converted at once with the texts the boxes
// showed, which then go back to "Non convert" and "C".

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "key_finder.h"
#include "song_document.h"
#include "view.h"

class CPlayerControl;

// True until the first initial update has run: that one does not convert.
extern bool g_bFirstUpdate;

class CTarvel1View : public CFormView
{
public:
    CTarvel1View();
    ~CTarvel1View() override;

    CTarvel1Doc* GetDocument() const;
    // The START and STOP/CONTINUE state. Waits for the player to be ready: for the tests.
    CPlayerControl& GetPlayerControl();
    // Player commands given before the player was ready, waiting to run in their order.
    std::size_t PendingPlayerCommands() const { return m_deferred.size(); }

    void OnInitialUpdate() override;
    // Keeps the main window's title, whatever the framework set from the document's name.
    void OnDraw(wxDC& dc) override;

    bool OnPreparePrinting(CPrintInfo* info) override;
    void OnBeginPrinting(wxDC& dc, CPrintInfo* info) override;
    void OnPrint(wxDC& dc, CPrintInfo* info) override;
    void OnEndPrinting(wxDC& dc, CPrintInfo* info) override;

    // Closes the device, then converts with the boxes' texts and writes temp.mid.
    void StopAndConvert();
    void ConvertAndWrite();

    CButton m_btnPause;
    CComboBox m_cmbKey;
    CComboBox m_cmbMode;
    int m_nKeyOffset = 0;
    std::string m_strTempPath;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void OnConvert(wxCommandEvent& event);
    void OnStart(wxCommandEvent& event);
    void OnPause(wxCommandEvent& event);
    void ConvertWith(const std::string& mode);
    // Tells the piano roll and the status bar what the conversion with `mode` did.
    void SongConverted(const std::string& mode);
    // Shows the key of the song as read in the status bar and the piano roll.
    void EstimateKeyOfSong();
    void OnUseEstimatedKey(wxCommandEvent& event);
    void OnUpdateUseEstimatedKey(wxUpdateUIEvent& event);
    // The saved playback settings for the coming START; false when nothing should play.
    bool ApplyPlaybackSettings();
    static void FillBox(CComboBox& box, UINT firstId, UINT count);
    // Runs `command` now when the player is ready, otherwise as soon as it is, after the ones
    // given before it. The window's thread never waits for the player.
    void WithPlayer(std::function<void(CPlayerControl&)> command);
    void OnPlayerReady();

    std::unique_ptr<CPlayerControl> m_pPlayerControl;
    std::vector<std::function<void(CPlayerControl&)>> m_deferred;
    bool m_bPainted = false;
    // The last write of temp.mid failed: the file there is an older song's, never to be played.
    bool m_bTempWriteFailed = false;
    // The key of the song as read at the last open or File New; no notes while there is none.
    KeyEstimate m_keyEstimate;

    wxDECLARE_EVENT_TABLE();
};
