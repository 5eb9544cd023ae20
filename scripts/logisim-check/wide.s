; wide.s: a ROM whose words fill the whole 24-bit record, for scripts/logisim-check.sh.
; Words with bits 23..20 set make isa4 write its Logisim image for a ROM of 24 data
; bits; a Logisim memory of 20 would drop those bits. The words are data, not a program.

        MOVE r1, [0x00]                 ; instructions keep within 20 bits
        ADDI r1, r1, -1
        .word 0xF00000, 0x100000, 0xABCDEF, 0x800001
        .word 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF  ; a run: "5*ffffff"
        .word 0x0FFFFF, 0x7                                   ; the widest instruction word, a small one

        .org 0x80
        .word 0x123456, 0x123456, 0x123456  ; three equal words: no run yet
        .word 0x654321

        .org 0xFF
        .word 0xEDCBA9                  ; the last address
