// Resource identifiers shared by the resource script and the code.
#pragma once

// Application
#define IDS_APP_TITLE 1
#define IDS_APP_DESCRIPTION 2
#define IDS_APP_RUNNING 3
#define IDI_APP 128
#define IDR_MAINFRAME 129
#define IDD_PLUGIN_MESSAGE 132
#define ID_FUNCTION_ENABLE_EQ 32773
#define ID_FUNCTION_ENABLE_AGC 32774

// Equalizer page: control 2000 + k shows string 200 + k
#define IDD_EQUALIZER 2000
#define IDS_EQUALIZER 200
#define IDS_EQ_TITLE 201
#define IDS_EQ_ENABLE 202
#define IDS_EQ_MAX 203
#define IDS_EQ_MIN 204
#define IDS_EQ_100HZ 205
#define IDS_EQ_250HZ 206
#define IDS_EQ_1KHZ 207
#define IDS_EQ_3_5KHZ 208
#define IDS_EQ_10KHZ 209
#define IDS_EQ_MODE 210
#define IDS_EQ_NEW 211
#define IDS_EQ_SAVE 212
#define IDS_EQ_DELETE 213
#define IDC_EQ_TITLE 2001
#define IDC_EQ_ENABLE 2002
#define IDC_EQ_MAX 2003
#define IDC_EQ_MIN 2004
#define IDC_EQ_100HZ 2005
#define IDC_EQ_250HZ 2006
#define IDC_EQ_1KHZ 2007
#define IDC_EQ_3_5KHZ 2008
#define IDC_EQ_10KHZ 2009
#define IDC_EQ_MODE_LABEL 2010
#define IDC_EQ_NEW 2011
#define IDC_EQ_SAVE 2012
#define IDC_EQ_DELETE 2013
#define IDC_EQ_BAND0 2051
#define IDC_EQ_BAND1 2052
#define IDC_EQ_BAND3 2053
#define IDC_EQ_BAND2 2054
#define IDC_EQ_BAND4 2055
#define IDC_EQ_MODE 2056

// Mode messages and built-in mode names: mode i is string 270 + i
#define IDS_ADD_MODE_QUESTION 250
#define IDS_DELETE_MODE_QUESTION 251
#define IDS_SAVE_MODE_QUESTION 252
#define IDS_MODE_FLAT 270
#define IDS_MODE_CLASSICAL 271
#define IDS_MODE_ROCK 272
#define IDS_MODE_JAZZ 273
#define IDS_MODE_DANCE 274
#define IDS_MODE_VOCAL 275
#define IDS_CANT_DELETE_DEFAULT 280
#define IDS_CANT_ADD_MORE 281
#define IDS_CANT_MODIFY_DEFAULT 282
#define IDS_NAME_EMPTY 283
#define IDS_NAME_EXISTS 284
#define IDS_PLUG_IN_HEADPHONE 290

// Save Mode dialog
#define IDD_SAVE_MODE 2100
#define IDS_SAVE_MODE_CAPTION 300
#define IDS_SAVE_MODE_LABEL 301
#define IDC_SAVE_MODE_LABEL 2101
#define IDC_SAVE_MODE_NAME 2151

// Mic page: control i + 2600 shows string i for i = 401..405
#define IDD_AGC 3000
#define IDS_MIC 400
#define IDS_AGC_TITLE 401
#define IDS_AGC_ENABLE 402
#define IDS_AGC_MIN 403
#define IDS_AGC_MAX 404
#define IDS_AGC_MODE 405
#define IDS_AGC_QUIET 406
#define IDS_AGC_NORMAL 407
#define IDS_AGC_NOISY 408
#define IDC_AGC_TITLE 3001
#define IDC_AGC_ENABLE 3002
#define IDC_AGC_MIN 3003
#define IDC_AGC_MAX 3004
#define IDC_AGC_MODE_LABEL 3005
#define IDC_AGC_LEVEL 3100
#define IDC_AGC_MODE 3102
