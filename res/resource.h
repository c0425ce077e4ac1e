#pragma once
// This program's own resource and control ids.

#include "afxres.h"

constexpr UINT IDD_ABOUT = 100;
constexpr UINT IDD_CONVERTER_FORM = 101;
// Menu, accelerators, toolbar, main icon and document string of the main frame.
constexpr UINT IDR_MAINFRAME = 128;
// The document's own icon.
constexpr UINT IDR_TARVELTYPE = 129;

constexpr UINT IDC_CONVERT = 1002;
constexpr UINT IDC_START = 1003;
constexpr UINT IDC_PAUSE = 1004;
constexpr UINT IDC_MODE = 1009;
constexpr UINT IDC_KEY = 1010;
// The about box's web-page button shares its value with the convert button: they never meet.
constexpr UINT IDC_HOMEPAGE = 1002;

// The 表示 menu's piano roll and playback settings; their prompts share the string table's
// 0x7000 block.
constexpr UINT ID_VIEW_PIANO_ROLL = 0x7001;
constexpr UINT ID_VIEW_PLAYBACK_SETTINGS = 0x7002;
// The 表示 menu's item that puts the song's estimated tonic into the key box.
constexpr UINT ID_VIEW_USE_ESTIMATED_KEY = 0x7003;
