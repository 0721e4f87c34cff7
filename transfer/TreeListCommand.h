#pragma once
// Lists one remote folder over a data connection and tells the controller when both the
// server's final reply and the end of the data have come, in whichever order they arrive.
// Steps: 0 just started, 4 waiting for the data channel ("200"), 5 for the transfer to start
// ("125"/"150"), 6 for the server's "226"/"250", 7 for whichever of that and the end of the
// data ("277 Data End") has not come yet, 8 finished.
#include "engine/Command.h"

#include <vector>

class CTreeLISTCommand : public CCommand {
public:
    static constexpr unsigned kTraits = kCollapses;
    // The final reply and the end of the data may come in either order ("277" stands for the
    // end of the data).
    enum Step : int {
        kSettingUp = 0,       // the data channel is being opened
        kAwaitingChannel = 4, // its "200"
        kListSent = 5,
        kTransferring = 6,    // after the 125 or 150
        kAwaitingEnd = 7,     // the one of the final reply and the data end still to come
        kComplete = 8,
    };
    CTreeLISTCommand() : CCommand("TreeLIST", kTraits) {}

    // path: the folder to list (empty: the current remote folder); searchMark: empty for the
    // panes, "N"/"N1"/"Y" for a remote search.
    bool execute(const CString& path, const CString& searchMark) override;
    bool onReply(const CString& line) override;
    bool eventData(const char* data, int length) override;
    // Between its 226 and the end of the data it waits for the data only.
    bool waitsForReply() const override {
        return m_nState == CMD_STARTED && !(m_nStep == kAwaitingEnd && !m_dataEnded);
    }

    // The bytes of the listing as they came.
    const std::vector<char>& listing() const { return m_listing; }

private:
    void complete();

    std::vector<char> m_listing;
    bool m_listingPhase = false;
    bool m_dataEnded = false;
    bool m_refused = false;
};
