#pragma once
// The busy panel laid over the main window while a format runs: a turning
// spinner and a line of text. The page closes it when the format has ended.
#include <string>

#include "Comm/PopWindow/StatusPanel.h"

class FormatingViewController : public StatusPanelController {
public:
    explicit FormatingViewController(const std::string& layoutName = "FormatingViewController");

    // Starts the layout's spinner.
    void awakeFromNib() override;
    // Closes the hosting window, when there is one.
    void closeWindow();
};
