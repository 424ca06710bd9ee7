// Resource ids of the setup program's artwork (drawn by generate_artwork.py).
#ifndef OV_RESOURCES_ART_ARTWORK_IDS_H
#define OV_RESOURCES_ART_ARTWORK_IDS_H

// The application icon: the frame's icon and the final page's picture.
#define IDI_SETUP 128

// The frame's side picture, 87 x 171 pixels, 256 colours. (Bitmap 137 and dialog template 137
// share the number; they are resources of different types.)
#define IDB_PANEL 137

// Flag icons, one 18 x 12, 24-bit image each, listed by the start page.
#define IDI_FLAG_GERMANY 141
#define IDI_FLAG_DENMARK 142
#define IDI_FLAG_SPAIN 143
#define IDI_FLAG_FRANCE 144
#define IDI_FLAG_UNITED_KINGDOM 145
#define IDI_FLAG_ITALY 146
#define IDI_FLAG_NETHERLANDS 147
#define IDI_FLAG_PORTUGAL 148
#define IDI_FLAG_TURKEY 149
#define IDI_FLAG_BULGARIA 150
#define IDI_FLAG_ROMANIA 151
#define IDI_FLAG_CHINA 152
#define IDI_FLAG_CZECHIA 153
#define IDI_FLAG_NORWAY 154
#define IDI_FLAG_GREECE 155
#define IDI_FLAG_POLAND 156
#define IDI_FLAG_ISRAEL 157
#define IDI_FLAG_VIETNAM 158

#define IDI_FLAG_FIRST IDI_FLAG_GERMANY
#define IDI_FLAG_LAST IDI_FLAG_VIETNAM

#endif
