#include "ui_resources.h"

#include "message_catalog.h"

#include "icons/tarvel1_16.xpm"
#include "icons/tarvel1_32.xpm"
#include "icons/toolbar.xpm"
#include "icons/toolbar_2x.xpm"

#ifndef TARVEL1_HOMEPAGE_URL
#error "TARVEL1_HOMEPAGE_URL comes from res/CMakeLists.txt"
#endif

namespace
{

const MenuResource kMainMenu = {
    IDR_MAINFRAME,
    {
        {"ﾌｧｲﾙ(&F)",
         {
             {ID_FILE_OPEN, "midファイルを開く(&O)...\tCtrl+O"},
             {ID_FILE_SAVE_AS, "名前を付けて保存(&A)..."},
             {ID_SEPARATOR, nullptr},
             {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
         }},
        {"表示(&V)",
         {
             {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰ(&T)"},
             {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"},
             {ID_VIEW_PIANO_ROLL, "ﾋﾟｱﾉﾛｰﾙ(&P)", true},
             {ID_VIEW_PLAYBACK_SETTINGS, "演奏設定(&O)..."},
             {ID_VIEW_USE_ESTIMATED_KEY, "推定キーを使う(&E)"},
         }},
        {"ﾍﾙﾌﾟ(&H)",
         {
             {ID_APP_ABOUT, "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
         }},
    },
};

const AccelTableResource kMainAccel = {
    IDR_MAINFRAME,
    {
        {FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
        {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
        {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE},
        {FVIRTKEY | FCONTROL, 'P', ID_FILE_PRINT},
        {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},
        {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},
        {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},
        {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE},
        {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
        {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
        {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
        {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
        {FVIRTKEY, VK_F6, ID_NEXT_PANE},
        {FVIRTKEY | FSHIFT, VK_F6, ID_PREV_PANE},
    },
};

const ToolBarResource kMainToolBar = {
    IDR_MAINFRAME, 16, 15, {ID_FILE_OPEN, ID_SEPARATOR, ID_APP_ABOUT}, toolbar_xpm, toolbar_2x_xpm,
};

const DialogTemplate kConverterForm = {
    IDD_CONVERTER_FORM,
    DS_CHILD_BORDER,
    199,
    74,
    nullptr,
    "ＭＳ Ｐゴシック",
    9,
    {
        {IDC_CONVERT, ControlKind::PushButton, "変換！", 150, 20, 30, 15, CS_TABSTOP},
        {IDC_MODE, ControlKind::ComboBox, nullptr, 50, 20, 90, 75,
         CS_DROPDOWN | CS_VSCROLL | CS_SORT | CS_TABSTOP},
        {IDC_KEY, ControlKind::ComboBox, nullptr, 10, 20, 30, 95,
         CS_DROPDOWN | CS_VSCROLL | CS_SORT | CS_TABSTOP},
        {IDC_STATIC, ControlKind::Static, "ZANTO MIDI PLAYER", 10, 5, 64, 8, 0},
        {IDC_STATIC, ControlKind::Static, "by ZANTO  2002", 130, 60, 65, 10, 0},
        {IDC_START, ControlKind::PushButton, "START", 20, 40, 45, 15, CS_TABSTOP},
        {IDC_PAUSE, ControlKind::PushButton, "STOP", 80, 40, 45, 15, CS_TABSTOP},
    },
};

const DialogTemplate kAboutBox = {
    IDD_ABOUT,
    DS_MODAL_CAPTION,
    239,
    65,
    "SMF ZantoArrangerのﾊﾞｰｼﾞｮﾝ情報",
    "ＭＳ Ｐゴシック",
    9,
    {
        {IDC_STATIC, ControlKind::Icon, nullptr, 11, 17, 20, 20, 0, IDR_MAINFRAME},
        {IDC_STATIC, ControlKind::Static, "ZANTO MIDI PLAYER Version 1.0", 40, 10, 119, 8,
         CS_NOPREFIX},
        {IDC_STATIC, ControlKind::Static, "MIDI ﾌｧｲﾙの調を変えて鳴らすﾌﾟﾚｲﾔｰ", 40, 20, 119, 8, 0},
        {IDOK_CONTROL, ControlKind::DefPushButton, "OK", 178, 7, 50, 14, CS_TABSTOP},
        {IDC_HOMEPAGE, ControlKind::PushButton, TARVEL1_HOMEPAGE_URL, 40, 35, 105, 15, CS_TABSTOP},
    },
};

// The tables above hold the source texts; the window gets them in the user's language. The
// language is chosen once per process, so each table is translated once.
MenuResource Translated(MenuResource menu)
{
    for (PopupMenuResource& popup : menu.popups)
    {
        popup.text = TranslateResText(popup.text);
        for (MenuItemResource& item : popup.items)
            item.text = TranslateResText(item.text);
    }
    return menu;
}

DialogTemplate Translated(DialogTemplate dialog)
{
    dialog.caption = TranslateResText(dialog.caption);
    for (ControlTemplate& control : dialog.controls)
        control.text = TranslateResText(control.text);
    return dialog;
}

} // namespace

const char* HomePageUrl()
{
    return TARVEL1_HOMEPAGE_URL;
}

const MenuResource* FindMenuResource(UINT id)
{
    static const MenuResource mainMenu = Translated(kMainMenu);
    return id == kMainMenu.nId ? &mainMenu : nullptr;
}

const AccelTableResource* FindAccelResource(UINT id)
{
    return id == kMainAccel.nId ? &kMainAccel : nullptr;
}

const ToolBarResource* FindToolBarResource(UINT id)
{
    return id == kMainToolBar.nId ? &kMainToolBar : nullptr;
}

const DialogTemplate* FindDialogTemplate(UINT id)
{
    static const DialogTemplate converterForm = Translated(kConverterForm);
    static const DialogTemplate aboutBox = Translated(kAboutBox);
    if (id == kConverterForm.nId)
        return &converterForm;
    if (id == kAboutBox.nId)
        return &aboutBox;
    return nullptr;
}

std::vector<std::string> UiSourceTexts()
{
    std::vector<std::string> texts;
    const auto add = [&texts](const char* text)
    {
        if (text != nullptr)
            texts.emplace_back(text);
    };
    for (const PopupMenuResource& popup : kMainMenu.popups)
    {
        add(popup.text);
        for (const MenuItemResource& item : popup.items)
            add(item.text);
    }
    for (const DialogTemplate* dialog : {&kConverterForm, &kAboutBox})
    {
        // The font's face is a name the system looks up, not a text anyone reads.
        add(dialog->caption);
        for (const ControlTemplate& control : dialog->controls)
            add(control.text);
    }
    return texts;
}

const char* const* FindIconXpm(UINT id, int size)
{
    if (id != IDR_MAINFRAME && id != IDR_TARVELTYPE)
        return nullptr;
    return size <= 16 ? tarvel1_16_xpm : tarvel1_32_xpm;
}
