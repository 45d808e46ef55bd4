#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_NAMES 256
#define MAX_NAME 64

struct entry {
  char name[MAX_NAME];
  long count;
};

static struct entry entries[MAX_NAMES];
static int used;

static void load(void) {
  FILE *f = fopen("tally.dat", "r");
  if (!f) return;
  while (used < MAX_NAMES &&
         fscanf(f, "%63s %ld", entries[used].name, &entries[used].count) == 2)
    used++;
  fclose(f);
}

static void save(void) {
  FILE *f = fopen("tally.dat", "w");
  int i;
  if (!f) return;
  for (i = 0; i < used; i++) fprintf(f, "%s %ld\n", entries[i].name, entries[i].count);
  fclose(f);
}

static struct entry *find(const char *name) {
  int i;
  for (i = 0; i < used; i++)
    if (strcmp(entries[i].name, name) == 0) return &entries[i];
  return NULL;
}

int main(int argc, char **argv) {
  struct entry *e;
  int i;
  load();
  if (argc == 3 && strcmp(argv[1], "add") == 0) {
    e = find(argv[2]);
    if (!e && used < MAX_NAMES) {
      e = &entries[used++];
      strncpy(e->name, argv[2], MAX_NAME - 1);
      e->count = 0;
    }
    if (e) e->count++;
  } else if (argc == 2 && strcmp(argv[1], "show") == 0) {
    for (i = 0; i < used; i++) printf("%-20s %ld\n", entries[i].name, entries[i].count);
  } else if (argc == 3 && strcmp(argv[1], "reset") == 0) {
    e = find(argv[2]);
    if (e) e->count = 0;
  } else {
    fprintf(stderr, "usage: tally add NAME | show | reset NAME\n");
    return 2;
  }
  save();
  return 0;
}
