/* Numbers shared by the dialog's behaviour and the Windows resources: control
   IDs of dialog 1, string-table IDs, the window timer, the profile keys. Plain
   preprocessor definitions only, so that windres can read this file too. */
#ifndef CHRONVK_UI_RESOURCE_IDS_H
#define CHRONVK_UI_RESOURCE_IDS_H

#define IDD_DCF77 1

/* Push buttons. IDC_OK and IDC_CANCEL are the dialog's OK and cancel commands. */
#define IDC_OK 1
#define IDC_CANCEL 2
#define IDC_HELP_BUTTON 9
#define IDC_TICK 115

/* Texts. */
#define IDC_STATISTICS 101
#define IDC_BITS 102
#define IDC_TELEGRAM 103
#define IDC_LAST_SETTING 108
#define IDC_MINUTES_LABEL 171
#define IDC_COUNTDOWN 172
#define IDC_VERSION 22001
#define IDC_COPYRIGHT 22002
#define IDC_BUILD 22003

/* Check boxes. */
#define IDC_RECEPTION_TEST 104
#define IDC_AUTO_END 105
#define IDC_LOG 106
#define IDC_SERVER 107
#define IDC_UTC 113

/* The minutes field. */
#define IDC_MINUTES 114
#define MINUTES_MAX_LENGTH 254

/* Port buttons and the port code each stands for. */
#define IDC_COM1 109
#define IDC_COM2 110
#define IDC_COM3 111
#define IDC_COM4 112
#define IDC_LPT1 116
#define IDC_LPT2 117
#define IDC_LPT3 118
#define IDC_LPT4 119
#define IDC_GAME 120

#define PORT_CODE_COM1 1
#define PORT_CODE_COM2 2
#define PORT_CODE_COM3 3
#define PORT_CODE_COM4 4
#define PORT_CODE_LPT1 11
#define PORT_CODE_LPT2 12
#define PORT_CODE_LPT3 13
#define PORT_CODE_LPT4 14
#define PORT_CODE_GAME 20

/* Icon and the tick button's bitmaps. */
#define IDI_CHRONVK 909
#define IDB_TICK 1115
#define IDB_TICK_PRESSED 3115
#define IDB_TICK_FOCUSED 5115

/* String table. */
#define IDS_MINUTES_MAX_RUN 1
#define IDS_MINUTES_WARNING 2
#define IDS_MINUTES_PAUSE 3
#define IDS_PORT_NOT_OPENED 4
#define IDS_ERROR 5
#define IDS_CLOCK_NOT_SET 7
#define IDS_LOG_NOT_WRITTEN 8
#define IDS_WARNING 9
#define IDS_LOG_ENTRY 10
#define IDS_PAUSE_NOT_STARTED 12
#define IDS_MAX_RUN_NOT_STARTED 13
#define IDS_COUNTDOWN_MAX_RUN 14
#define IDS_COUNTDOWN_PAUSE 15

/* The one-second timer of the run-time control. */
#define RUN_TIMER_ID 7
#define RUN_TIMER_PERIOD_MS 1000

/* Profile section and keys (WIN.INI). */
#define PROFILE_SECTION "CHRONVK"
#define PROFILE_MINI "MINI"
#define PROFILE_UTC "UTC"
#define PROFILE_AUTOEND "AUTOEND"
#define PROFILE_CYCLE "CYCLE"
#define PROFILE_LOG "LOG"
/* Not PROFILE_SERVER: winbase.h has that name for a process flag. */
#define PROFILE_FILE_SERVER "SERVER"
#define PROFILE_COM "COM"
/* Opt-in, read at set-up and never written: stricter trust in a time. */
#define PROFILE_STRICT "STRICT"
/* Opt-in the same way: confirmation that holds under noise (strict included). */
#define PROFILE_ROBUST "ROBUST"
/* Where time samples go for an NTP daemon: shm:N or sock:PATH. */
#define PROFILE_REFCLOCK "REFCLOCK"
/* Opt-in, read at set-up and never written: edges as the port reports them. */
#define PROFILE_EVENTS "EVENTS"

#define APP_NAME "CHRONVK"
#define HELP_FILE "CHRONVK.HLP"

#endif
