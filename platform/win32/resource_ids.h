#pragma once
// Resource ids of the module, shared by the resource script and the code (plain macros, as the
// resource compiler reads this file too).

#define WHARFLING_IDD_UPLOAD 201
#define WHARFLING_IDD_SITE_CHOOSER 211
#define WHARFLING_IDD_ALBUM_CHOOSER 239
#define WHARFLING_IDC_SITE_LIST 209
#define WHARFLING_IDC_ALBUM_LIST 210
#define WHARFLING_IDI_MODULE 101
#define WHARFLING_IDR_REGISTRY 102
