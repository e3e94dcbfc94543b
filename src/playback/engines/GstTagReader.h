#pragma once
#include "playback/engines/SongTags.h"

typedef struct _GstMessage GstMessage;
typedef struct _GstSample GstSample;

// Takes what a tag message tells into `tags` (title, album, artists, track,
// picture), each text cut at SongTags::MaxTextBytes; raises tags.revision
// when anything changed. `image` is the sample the picture was copied from
// (owned, may be null): the same picture travelling in the tags of every
// element on its way is copied once.
void takeGstTags(GstMessage* message, SongTags& tags, GstSample*& image);
