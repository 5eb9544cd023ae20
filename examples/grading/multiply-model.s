; multiply-model.s: the teacher's solution of the multiply exercise, which
; multiply-generated.suite names as its model: [0x02] = [0x00] * [0x01], modulo 256.

        .equ x, 0x00
        .equ y, 0x01
        .equ product, 0x02

        MOVE r1, [x]            ; r1 = x, added y times
        MOVE r2, [y]            ; r2 = y, the rounds still to go
loop:   ADDI r2, r2, 0          ; z = (r2 == 0)
        JZ   done
        ADD  r3, r3, r1         ; r3 = r3 + x
        ADDI r2, r2, -1         ; one round fewer
        ADDI r0, r0, 0          ; set z (r0 is 0) ...
        JZ   loop               ; ... to jump back
done:   MOVE [product], r3
        ADDI r0, r0, 0
halt:   JZ   @halt
        JZ   halt               ; a run steps on past the halt: back to it
