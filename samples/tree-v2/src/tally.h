/* Limits of the tally counter. */
#ifndef TALLY_H
#define TALLY_H
#define TALLY_VERSION "1.1"
#define TALLY_MAX_NAMES 256
#define TALLY_MAX_NAME 64
#endif
