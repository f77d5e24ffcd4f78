#include "stdafx.h"

#include "resources/DesignImages.h"
#include "resources/resource.h"

namespace {

// One letter per pixel. '.' is black, the mask colour: those pixels are transparent.
struct ARTCOLOUR {
    char chLetter;
    BYTE byRed, byGreen, byBlue;
};

const ARTCOLOUR kPalette[] = {
    {'.', 0, 0, 0},       {'K', 64, 64, 64},   {'k', 128, 128, 128}, {'S', 192, 192, 192},
    {'W', 255, 255, 255}, {'Y', 255, 224, 64}, {'O', 192, 144, 0},   {'R', 224, 32, 32},
    {'r', 128, 0, 0},     {'G', 32, 176, 32},  {'g', 0, 100, 0},     {'B', 40, 80, 224},
    {'N', 0, 0, 128},     {'M', 208, 48, 176}, {'T', 160, 96, 48},
};

const char* const kImages[DESIGN_IMAGE_COUNT][DESIGN_IMAGE_SIZE] = {
    {
        // 0: a sheet of paper
        "..KKKKKKKKK.....",
        "..KWWWWWWWKK....",
        "..KWWWWWWWKWK...",
        "..KWkkkkWWKKKK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkkkWK..",
        "..KWWWWWWWWWWK..",
        "..KWkkkkkkWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
        "................",
    },
    {
        // 1: a diskette
        ".NNNNNNNNNNNNN..",
        ".NBBSSSSSSSSBNN.",
        ".NBBSSSSSKSSBBN.",
        ".NBBSSSSSKSSBBN.",
        ".NBBSSSSSSSSBBN.",
        ".NBBBBBBBBBBBBN.",
        ".NBBBBBBBBBBBBN.",
        ".NBWWWWWWWWWWBN.",
        ".NBWkkkkkkkkWBN.",
        ".NBWWWWWWWWWWBN.",
        ".NBWkkkkkkkkWBN.",
        ".NBWWWWWWWWWWBN.",
        ".NBWWWWWWWWWWBN.",
        ".NNNNNNNNNNNNNN.",
        "................",
        "................",
    },
    {
        // 2: a threaded needle
        "............KK..",
        "...........KSWK.",
        "..........KSRSK.",
        "..........KSSKR.",
        ".........KSSK..R",
        "........KSSK...R",
        ".......KSSK....R",
        "......KSSK....R.",
        ".....KSSK....R..",
        "....KSSK....R...",
        "...KSSK.....R...",
        "..KSSK.......R..",
        "..KSK.........R.",
        "..KK..........R.",
        "..............R.",
        "................",
    },
    {
        // 3: a spool of thread
        "................",
        "...TTTTTTTTTT...",
        "...TOOOOOOOOT...",
        "....RRRRRRRR....",
        "....RrRRRrRR....",
        "....RRRRRRRR....",
        "....RRrRRRrR....",
        "....RRRRRRRR....",
        "....RrRRRrRR....",
        "....RRRRRRRR....",
        "....RRrRRRrR....",
        "....RRRRRRRR....",
        "...TOOOOOOOOT...",
        "...TTTTTTTTTT...",
        "................",
        "................",
    },
    {
        // 4: a folder
        "................",
        "................",
        ".KKKKK..........",
        ".KYYYYK.........",
        ".KYYYYYKKKKKKKK.",
        ".KOOOOOOOOOOOOK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KYYYYYYYYYYYYK.",
        ".KKKKKKKKKKKKKK.",
        "................",
        "................",
    },
    {
        // 5: an arrow up
        "................",
        ".......gg.......",
        "......gGGg......",
        ".....gGGGGg.....",
        "....gGGGGGGg....",
        "...gGGGGGGGGg...",
        "..ggggGGGGgggg..",
        ".....gGGGGg.....",
        ".....gGGGGg.....",
        ".....gGGGGg.....",
        ".....gGGGGg.....",
        ".....gGGGGg.....",
        ".....gGGGGg.....",
        ".....gggggg.....",
        "................",
        "................",
    },
    {
        // 6: a memory card
        "................",
        "..KKKKKKKKKKKK..",
        "..KOKOKOKOKOKK..",
        "..KSSSSSSSSSSK..",
        "..KSSSSSSSSSSK..",
        "..KSBBBBBBBBSK..",
        "..KSBWWWWWWBSK..",
        "..KSBWkkkkWBSK..",
        "..KSBWWWWWWBSK..",
        "..KSBBBBBBBBSK..",
        "..KSSSSSSSSSSK..",
        "..KSSSSSSSSSSK..",
        "..KSSSSSSSSSSK..",
        "..KSSSSSSSSSSK..",
        "..KKKKKKKKKKKK..",
        "................",
    },
    {
        // 7: a memory stick
        "................",
        "................",
        "................",
        "................",
        "......KKKKKKKKK.",
        ".KKKKKKBBBBBBBBK",
        ".KSSSSKBBBBBBBBK",
        ".KSKSSKBBWWBBBBK",
        ".KSSSSKBBWWBBBBK",
        ".KSKSSKBBBBBBBBK",
        ".KKKKKKBBBBBBBBK",
        "......KKKKKKKKK.",
        "................",
        "................",
        "................",
        "................",
    },
    {
        // 8: a tick
        "................",
        "................",
        "..............G.",
        ".............GG.",
        "............GGg.",
        "...........GGg..",
        "..G.......GGg...",
        ".GGG.....GGg....",
        "..GGG...GGg.....",
        "...GGG.GGg......",
        "....GGGGg.......",
        ".....GGg........",
        "......g.........",
        "................",
        "................",
        "................",
    },
    {
        // 9: a cross
        "................",
        "................",
        "..rR.......Rr...",
        "..RRR.....RRR...",
        "...RRR...RRR....",
        "....RRR.RRR.....",
        ".....RRRRR......",
        "......RRR.......",
        ".....RRRRR......",
        "....RRR.RRR.....",
        "...RRR...RRR....",
        "..RRR.....RRR...",
        "..rR.......Rr...",
        "................",
        "................",
        "................",
    },
    {
        // 10: an information sign
        "................",
        ".....NNNNNN.....",
        "...NNBBBBBBNN...",
        "..NBBBBWWBBBBN..",
        "..NBBBBWWBBBBN..",
        ".NBBBBBBBBBBBBN.",
        ".NBBBBWWWBBBBBN.",
        ".NBBBBBWWBBBBBN.",
        ".NBBBBBWWBBBBBN.",
        ".NBBBBBWWBBBBBN.",
        "..NBBBBWWBBBBN..",
        "..NBBBWWWWBBBN..",
        "...NNBBBBBBNN...",
        ".....NNNNNN.....",
        "................",
        "................",
    },
    {
        // 11: an extended design: a hoop with stitches and a plus sign
        "....TTTTTTT..M..",
        "..TT.......TMMM.",
        ".T...........M..",
        ".T..G.....G..T..",
        "T..G.G...G.G..T.",
        "T.G...G.G...G.T.",
        "T......G......T.",
        "T..M.......M..T.",
        "T...M.....M...T.",
        "T....M...M....T.",
        "T.....M.M.....T.",
        ".T.....M.....T..",
        ".T...........T..",
        "..TT.......TT...",
        "....TTTTTTT.....",
        "................",
    },
    {
        // 12: a plain design: a hoop with stitches
        "....TTTTTTT.....",
        "..TT.......TT...",
        ".T...........T..",
        ".T..B.....B..T..",
        "T..B.B...B.B..T.",
        "T.B...B.B...B.T.",
        "T......B......T.",
        "T..R.......R..T.",
        "T...R.....R...T.",
        "T....R...R....T.",
        "T.....R.R.....T.",
        ".T.....R.....T..",
        ".T...........T..",
        "..TT.......TT...",
        "....TTTTTTT.....",
        "................",
    },
};

const ARTCOLOUR* FindColour(char chLetter) {
    for (const ARTCOLOUR& entry : kPalette) {
        if (entry.chLetter == chLetter)
            return &entry;
    }
    return NULL;
}

void PutDword(std::vector<BYTE>& bytes, DWORD dw) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<BYTE>(dw >> (8 * i)));
}

void PutWord(std::vector<BYTE>& bytes, WORD w) {
    bytes.push_back(LOBYTE(w));
    bytes.push_back(HIBYTE(w));
}

} // namespace

bool BuildDesignImages(std::vector<BYTE>& bytes) {
    const DWORD dwStride = DESIGN_IMAGES_WIDTH * 3; // 624: already a multiple of 4
    bytes.clear();
    PutDword(bytes, 40); // biSize
    PutDword(bytes, DESIGN_IMAGES_WIDTH);
    PutDword(bytes, DESIGN_IMAGES_HEIGHT); // positive: bottom-up rows
    PutWord(bytes, 1);                     // biPlanes
    PutWord(bytes, 24);                    // biBitCount
    PutDword(bytes, 0);                    // BI_RGB
    PutDword(bytes, dwStride * DESIGN_IMAGES_HEIGHT);
    PutDword(bytes, 0); // biXPelsPerMeter
    PutDword(bytes, 0); // biYPelsPerMeter
    PutDword(bytes, 0); // biClrUsed
    PutDword(bytes, 0); // biClrImportant
    for (int y = DESIGN_IMAGES_HEIGHT - 1; y >= 0; --y) {
        for (int image = 0; image < DESIGN_IMAGE_COUNT; ++image) {
            const char* row = kImages[image][y];
            if (row == NULL || strlen(row) != DESIGN_IMAGE_SIZE) {
                bytes.clear();
                return false;
            }
            for (int x = 0; x < DESIGN_IMAGE_SIZE; ++x) {
                const ARTCOLOUR* colour = FindColour(row[x]);
                if (colour == NULL) {
                    bytes.clear();
                    return false;
                }
                bytes.push_back(colour->byBlue);
                bytes.push_back(colour->byGreen);
                bytes.push_back(colour->byRed);
            }
        }
    }
    return true;
}
